#pragma once

#include "online/OnlineFile.h"
#include "online/OnlineRecord.h"
#include "online/XmlHandler.h"

#include <list>
#include <memory>
#include <vector>

namespace tolvar {

class OnlineSave;

// What one document built: the records of a list, in document order, with
// the saves among them whose detail documents are read next; or the file of
// a save's detail document.
struct OnlineListBuild
{
    std::list<std::unique_ptr<OnlineRecord>> children;
    std::vector<OnlineSave*> detailQueue; // not owned: saves among children
    std::unique_ptr<OnlineFile> file;     // a later file of the document replaces an earlier one
};

// Turns the elements of a list or detail document into records. A record
// starts at the node of its element and is finished at the next node or at
// the end of the document; the leaves in between fill it.
class OnlineListBuilder final : public XmlHandler
{
public:
    // A list keeps its folders and saves, a detail document its file; what
    // does not belong to the kind of document read is dropped.
    OnlineListBuilder(bool readsList, bool readsDetail);
    ~OnlineListBuilder();

    void OnNode(const std::string& name, const std::string& attributes) override;
    void OnElement(const std::string& name, const std::string& value,
                   const std::string& attributes) override;
    void OnEndDocument() override;

    // Hands over what was built so far.
    OnlineListBuild TakeBuild();

private:
    void FinishCurrentRecord();

    std::unique_ptr<OnlineRecord> m_current;
    OnlineListBuild m_build;
    bool m_readsList;
    bool m_readsDetail;
};

} // namespace tolvar
