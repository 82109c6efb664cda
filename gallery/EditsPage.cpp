// The edits page: a name line and a description box like the upload form's,
// to try typing, selecting, cut, copy and paste (with other programs too)
// and the blinking caret.
#include "gallery/GalleryPage.h"
#include "platform/ui/Edit.h"
#include "platform/ui/Static.h"
#include "widgets/Label.h"

#include <vector>

namespace tolvar::gallery {
namespace {

constexpr unsigned kNameId = 1;
constexpr unsigned kDescriptionId = 2;

class EditsPage : public GalleryPage
{
public:
    void OnCtlColor(ui::Window& control, ui::CtlColorKind kind, ui::ControlColors& colors) override
    {
        if (kind != ui::CtlColorKind::Edit) {
            GalleryPage::OnCtlColor(control, kind, colors);
            return;
        }
        colors.text = gfx::Rgb(0, 0, 0);
        colors.brush = gfx::Brush::Solid(gfx::Rgb(255, 255, 255));
    }

protected:
    bool OnCreate() override
    {
        AddLabel("Edit controls", {20, 180, 680, 198});
        AddLabel("Save name", {40, 214, 200, 232});
        ui::WindowStyle tab;
        tab.tabStop = true;
        m_name.Create(this, gfx::Rect::FromSize(200, 212, 300, 18), kNameId, tab);
        m_name.SetLimitText(32);
        m_name.SetText("Tolvar sample save");
        AddLabel("Description", {40, 246, 200, 264});
        m_description.Create(this, gfx::Rect::FromSize(200, 244, 300, 80), kDescriptionId, tab);
        m_description.SetText("A save of our own.\r\nSecond line.");
        AddLabel("Ctrl+X, Ctrl+C and Ctrl+V cut, copy and paste through the clipboard; "
                 "a selection is offered to other programs, and the middle button pastes theirs.",
                 {40, 340, 660, 380});
        return true;
    }

private:
    void AddLabel(const char* text, const gfx::Rect& rect)
    {
        auto label = std::make_unique<CLabel>();
        label->Create(this, rect);
        label->SetTextFormat(gfx::kTextLeft | gfx::kTextWordBreak);
        label->SetWindowText(text);
        m_labels.push_back(std::move(label));
    }

    ui::Edit m_name{ui::kEditSingleLine | ui::kEditAutoHScroll};
    ui::Edit m_description{ui::kEditMultiLine | ui::kEditAutoHScroll | ui::kEditWantReturn};
    std::vector<std::unique_ptr<CLabel>> m_labels;
};

const GalleryPageRegistrar kRegistrar(
    {"edits", 30, [] { return std::unique_ptr<GalleryPage>(std::make_unique<EditsPage>()); }});

} // namespace
} // namespace tolvar::gallery
