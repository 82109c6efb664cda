// The upload of one save. The user confirms the form; a changed name goes
// into a temporary copy, never into the user's file; then the request is
// built and posted, and the answer is read line by line for "Result=1".
//
// The server reads the body by these exact bytes: the delimiter lines are the
// boundary itself (no two extra minus signs), the part has no "name" and its
// file name is not quoted.
#include "online/SaveUploader.h"

#include "online/ServerSettings.h"
#include "platform/base/MessageBox.h"
#include "platform/base/TextCompare.h"
#include "platform/fs/File.h"
#include "platform/fs/FileOps.h"
#include "platform/fs/FileTime.h"
#include "platform/net/InternetException.h"
#include "platform/net/Url.h"
#include "saveformat/SaveFormat.h"

#include <cstdio>
#include <ctime>

namespace tolvar {
namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kInternetFailed =
    "The internet connection does not appear to be working or the file was corrupt.";
constexpr const char* kTempCopyFailed = "Could not open temporary file, an error may occur";

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    fs::File file;
    if (path.empty() || !file.Open(path.c_str(), fs::OpenMode::Read)) {
        return false;
    }
    const std::uint64_t length = file.Length();
    if (length > kMaxSaveFileSize) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(length));
    return file.Read(bytes.data(), bytes.size()) == bytes.size();
}

std::string SizeText(std::uint64_t length)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(length) * 0.0009765625);
    return text;
}

// The last-write time in local time, or the current UTC time when the file
// has none (its low half is zero), as day/month/four-digit year.
std::string DateText(const fs::FileTimes& times)
{
    std::tm calendar{};
    const bool known = static_cast<std::uint32_t>(times.lastWrite) != 0
                           ? fs::FileTimeToLocalCalendar(times.lastWrite, calendar)
                           : fs::FileTimeToUtcCalendar(fs::GetSystemTimeAsFileTime(), calendar);
    char text[128];
    if (!known || std::strftime(text, sizeof text, "%d/%m/%Y", &calendar) == 0) {
        return {};
    }
    return text;
}

// A title id is sent as it stands; one holding bytes that mean something in
// an address ("&", "#", a space) would add or cut query fields, so those are
// escaped like a form value. An ordinary id of letters and digits is
// unchanged, and an empty one stays empty.
std::string TitleIdValue(const std::string& titleId)
{
    return titleId.empty() ? titleId : UrlEncode(titleId.c_str());
}

} // namespace

SaveUploader::SaveUploader(UploadFormRunner form) : m_form(std::move(form)) {}

SaveUploader::~SaveUploader()
{
    CloseRequest();
    if (!m_tempCopy.empty()) {
        fs::DeleteFile(m_tempCopy.c_str());
    }
}

std::string SaveUploader::TempCopyPath(const std::string& filePath)
{
    const std::size_t slash = filePath.find_last_of("/\\");
    return "temp\\" + (slash == std::string::npos ? filePath : filePath.substr(slash + 1));
}

// A cancelled upload (the window is closing) shows nothing more.
void SaveUploader::Show(const char* text)
{
    if (m_cancel == nullptr || !m_cancel->load()) {
        AfxMessageBox(text, MB_OK);
    }
}

void SaveUploader::CloseRequest()
{
    if (m_request) {
        m_request->Close();
    }
    m_request.reset();
    m_connection.reset();
    if (m_session) {
        m_session->Close();
    }
    m_session.reset();
}

bool SaveUploader::UploadSave(const std::string& filePath, const std::string& fileName,
                              const std::string& uploadAddress,
                              const std::string& descriptionDefault, const std::string& nameDefault)
{
    UploadFormFields fields;
    {
        fs::File file;
        if (!file.Open(filePath.c_str(), fs::OpenMode::Read)) {
            return false;
        }
        std::uint64_t length = 0;
        fs::FileTimes times;
        file.Stat(length, times);
        fields.sizeText = SizeText(length);
        fields.dateText = DateText(times);
        std::uint8_t header[kSaveHeaderLength] = {};
        SaveHeaderFields stored;
        ReadSaveHeaderFields(header, file.Read(header, sizeof header), stored);
        fields.titleId = stored.titleId;
    }

    fields.saveName = nameDefault;
    fields.description = descriptionDefault;
    if (!m_form || m_form(fields) == IDCANCEL) {
        return false;
    }
    m_saveDescription = fields.description;
    m_saveName = fields.saveName;

    std::string path = filePath;
    if (m_saveName != nameDefault) {
        if (!MakeTempCopy(filePath, path)) {
            // Sending the user's file instead would publish it under its old
            // name while the user asked for a new one.
            return false;
        }
    }

    m_saveDescription = UrlEncode(m_saveDescription.c_str());
    m_saveName = UrlEncode(m_saveName.c_str());
    m_sourcePath = path;
    m_requestAddress = uploadAddress;

    const bool result = Post(path, fileName);
    CloseRequest();
    m_sourceBytes.clear();
    if (!m_tempCopy.empty()) {
        fs::DeleteFile(m_tempCopy.c_str());
        m_tempCopy.clear();
    }
    return result;
}

bool SaveUploader::Post(const std::string& filePath, const std::string& fileName)
{
    try {
        m_titleId.clear();
        m_uncompressedSize.clear();
        const bool haveSource = ReadWholeFile(m_sourcePath, m_sourceBytes);
        if (haveSource) {
            SaveHeaderFields header;
            ReadSaveHeaderFields(m_sourceBytes.data(), m_sourceBytes.size(), header);
            m_titleId = header.titleId;
            m_uncompressedSize = std::to_string(header.uncompressedSize);
        } else {
            m_sourceBytes.clear();
        }

        m_requestAddress += "title_id=" + TitleIdValue(m_titleId) + "&" +
                            "save_name=" + m_saveName + "&" +
                            "save_description=" + m_saveDescription + "&" +
                            "uncompressed_size=" + m_uncompressedSize;

        m_contentTypeHeader =
            std::string("Content-Type: multipart/form-data") + ", boundary=" + kBoundary;
        m_partHead = std::string(kBoundary) + kCrLf + "Content-Disposition: form-data" +
                     "; filename=" + fileName + kCrLf + "Content-Type: binary" + kCrLf + kCrLf;
        m_partTail = std::string(kCrLf) + kBoundary + "--" + kCrLf;

        // The bytes are read once, so the length announced is the length sent.
        if (filePath.empty() || !haveSource) {
            return false; // an empty copy was abandoned, or the file went away
        }
        if (!Send()) {
            return false;
        }

        std::string line;
        while (m_request->ReadString(line)) {
            if (CompareNoCase(line, "Result=1") == 0) {
                return true;
            }
        }
        return false;
    } catch (const net::InternetException&) {
        CloseRequest();
        Show(kInternetFailed);
        return true;
    }
}

// Opens, sends and ends the request; false when the request cannot be
// formed, which is no fault of the connection. Failures of the transfer throw.
bool SaveUploader::Send()
{
    if (m_session) {
        return false;
    }
    m_session = std::make_unique<net::InternetSession>();
    m_session->SetCancelFlag(m_cancel);
    net::UrlParts parts;
    if (!net::ParseUrl(m_requestAddress, parts)) {
        throw net::InternetException("no server in the upload address");
    }
    m_connection = m_session->GetHttpConnection(parts.server, parts.port, parts.service);
    if (!m_connection) {
        throw net::InternetException("the upload address is not an http address");
    }
    m_request = m_connection->OpenRequest("POST", parts.object);
    if (!m_request || !AddRequestHeader(*m_request, m_contentTypeHeader)) {
        return false;
    }
    m_request->SendRequestEx(m_partHead.size() + m_partTail.size() + m_sourceBytes.size());
    m_request->Write(m_partHead.data(), m_partHead.size());
    m_request->Write(m_sourceBytes.data(), m_sourceBytes.size());
    m_request->Write(m_partTail.data(), m_partTail.size());
    m_request->EndRequest();
    return true;
}

bool SaveUploader::MakeTempCopy(const std::string& filePath, std::string& copyPath)
{
    const std::string copy = TempCopyPath(filePath);
    const bool copied = fs::CopyFile(filePath.c_str(), copy.c_str(), fs::CopyMode::Replace);
    if (copied) {
        m_tempCopy = copy;
    }
    std::vector<std::uint8_t> bytes;
    if (!copied || !ReadWholeFile(copy, bytes)) {
        Show(kTempCopyFailed);
        return false;
    }
    if (bytes.empty()) {
        copyPath.clear();
        return true;
    }
    SetSaveName(bytes.data(), static_cast<std::uint32_t>(bytes.size()), m_saveName.c_str());
    fs::File out;
    if (!out.Open(copy.c_str(), fs::OpenMode::Write) || !out.Write(bytes.data(), bytes.size())) {
        Show(kTempCopyFailed);
        return false;
    }
    copyPath = copy;
    return true;
}

} // namespace tolvar
