#pragma once

#include "platform/net/HttpFile.h"
#include "platform/net/InternetSession.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolvar {

// The texts the upload form shows; it hands back the edited name and
// description in the same fields.
struct UploadFormFields
{
    std::string saveName;
    std::string description;
    std::string sizeText;
    std::string dateText;
    std::string titleId; // the save's game, as the upload sends it
};

// Runs the upload form modally for one save and returns 1 for Submit, 2
// (IDCANCEL) for Cancel. Called on the upload job's thread; whoever supplies
// it (the main window) shows the form on the UI thread meanwhile.
using UploadFormRunner = std::function<int(UploadFormFields& fields)>;

// Posts one save to the upload address as a multipart/form-data request whose
// descriptive fields travel in the address's query. One per upload job.
class SaveUploader
{
public:
    static constexpr const char* kBoundary = "-----------------------------7d4128309d02ac";

    explicit SaveUploader(UploadFormRunner form);
    virtual ~SaveUploader();
    SaveUploader(const SaveUploader&) = delete;
    SaveUploader& operator=(const SaveUploader&) = delete;

    // True when the upload succeeded, or met an internet error that was
    // already reported; false when it was cancelled, its request could not
    // be formed, or it failed otherwise.
    bool UploadSave(const std::string& filePath, const std::string& fileName,
                    const std::string& uploadAddress, const std::string& descriptionDefault,
                    const std::string& nameDefault);

    // When it turns true a transfer under way aborts (the job is cancelled).
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }

    // The name the temporary copy of a renamed save gets: "temp\" and the
    // file name behind the path's last separator.
    static std::string TempCopyPath(const std::string& filePath);

protected:
    // Adds one header line to the request; false when it is refused.
    virtual bool AddRequestHeader(net::HttpFile& request, const std::string& header)
    {
        return request.AddRequestHeaders(header);
    }

private:
    bool Post(const std::string& filePath, const std::string& fileName);
    bool Send();
    bool MakeTempCopy(const std::string& filePath, std::string& copyPath);
    void Show(const char* text);
    void CloseRequest();

    std::unique_ptr<net::HttpFile> m_request;
    std::unique_ptr<net::HttpConnection> m_connection;
    std::unique_ptr<net::InternetSession> m_session;
    std::string m_partHead;
    std::string m_partTail;
    std::string m_contentTypeHeader;
    UploadFormRunner m_form;
    std::string m_saveName;
    std::string m_saveDescription;
    std::string m_titleId;
    std::string m_uncompressedSize;
    std::string m_requestAddress;
    std::string m_sourcePath;
    std::vector<std::uint8_t> m_sourceBytes; // read once: counted and sent
    std::string m_tempCopy;                  // removed whatever the upload's outcome
    const std::atomic<bool>* m_cancel = nullptr;
};

} // namespace tolvar
