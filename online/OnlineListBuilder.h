#pragma once

#include "online/OnlineRecord.h"
#include "online/XmlHandler.h"

#include <memory>

namespace tolvar {

class OnlineListFetcher;

// Turns the elements of a list or detail document into records. A record
// starts at the node of its element and is finished at the next node or at
// the end of the document; the leaves in between fill it.
class OnlineListBuilder final : public XmlHandler
{
public:
    explicit OnlineListBuilder(OnlineListFetcher* fetcher);
    ~OnlineListBuilder();

    void OnNode(const std::string& name, const std::string& attributes) override;
    void OnElement(const std::string& name, const std::string& value,
                   const std::string& attributes) override;
    void OnText(const std::string& text) override;
    void OnComment(const std::string& text) override;
    void OnEndDocument() override;

private:
    void FinishCurrentRecord();

    std::unique_ptr<OnlineRecord> m_current;
    OnlineListFetcher* m_fetcher;
};

} // namespace tolvar
