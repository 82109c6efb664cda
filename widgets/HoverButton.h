#pragma once

#include "platform/ui/BitmapButton.h"

#include <optional>
#include <string>

namespace tolvar {

// A bitmap button that shows a third picture while the mouse rests on it.
// The first mouse move asks for hover and leave notifications; the hover
// notification swaps the hover picture in as the normal one, the leave
// notification swaps the up picture back. Pressed, it shows the down picture.
class CHoverButton : public ui::BitmapButton
{
public:
    // Any name may be null. The names are kept as copies of their own.
    CHoverButton(const char* upName, const char* hoverName, const char* downName,
                 const char* disabledName);
    ~CHoverButton() override;

    // Creates the button as control id of parent at topLeft, sized to its up
    // picture; used where no template control exists to attach to.
    bool Create(ui::Window& parent, unsigned id, gfx::Point topLeft);
    // Loads normal = up, selected = down, focused = none, disabled = disabled
    // name. The owning dialog calls it once after attaching.
    bool LoadPictures();

    bool IsHovering() const { return m_hovering != 0; }
    bool IsTracking() const { return m_tracking != 0; }

protected:
    void OnMouseMove(unsigned flags, gfx::Point point) override;
    void OnMouseHover(unsigned flags, gfx::Point point) override;
    void OnMouseLeave() override;

private:
    bool Load(const std::optional<std::string>& normal);

    std::optional<std::string> m_upName;
    std::optional<std::string> m_downName;
    std::optional<std::string> m_hoverName;
    std::optional<std::string> m_disabledName;
    int m_hovering = 0;
    unsigned m_tracking = 0;
};

} // namespace tolvar
