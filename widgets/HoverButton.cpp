#include "widgets/HoverButton.h"

#include "resources/Resources.h"

namespace tolvar {

namespace {

std::optional<std::string> Copy(const char* name)
{
    return name ? std::optional<std::string>(name) : std::nullopt;
}

gfx::Bitmap Picture(const std::optional<std::string>& name)
{
    return name ? LoadBitmapResource(*name) : gfx::Bitmap{};
}

const gfx::Bitmap* OrNull(const gfx::Bitmap& b)
{
    return b.IsNull() ? nullptr : &b;
}

} // namespace

CHoverButton::CHoverButton(const char* upName, const char* hoverName, const char* downName,
                           const char* disabledName)
    : m_upName(Copy(upName)), m_downName(Copy(downName)), m_hoverName(Copy(hoverName)),
      m_disabledName(Copy(disabledName))
{
}

CHoverButton::~CHoverButton() = default;

bool CHoverButton::Create(ui::Window& parent, unsigned id, gfx::Point topLeft)
{
    const gfx::Bitmap up = Picture(m_upName);
    const gfx::Size size = up.IsNull() ? gfx::Size{1, 1} : up.GetSize();
    if (!ui::Window::Create(&parent, gfx::Rect::FromSize(topLeft, size), id)) {
        return false;
    }
    return LoadPictures();
}

bool CHoverButton::Load(const std::optional<std::string>& normal)
{
    const gfx::Bitmap up = Picture(normal);
    const gfx::Bitmap down = Picture(m_downName);
    const gfx::Bitmap disabled = Picture(m_disabledName);
    return LoadBitmaps(OrNull(up), OrNull(down), nullptr, OrNull(disabled)) && !up.IsNull();
}

bool CHoverButton::LoadPictures()
{
    const bool loaded = Load(m_upName);
    if (loaded) {
        SizeToContent();
    }
    return loaded;
}

void CHoverButton::OnMouseMove(unsigned flags, gfx::Point point)
{
    if (m_tracking == 0) {
        m_tracking = TrackMouseEvent(ui::TME_HOVER | ui::TME_LEAVE, 1) ? 1 : 0;
    }
    ui::BitmapButton::OnMouseMove(flags, point);
}

void CHoverButton::OnMouseHover(unsigned, gfx::Point)
{
    if (m_hovering) {
        return;
    }
    Load(m_hoverName);
    RedrawWindow();
    m_hovering = 1;
}

void CHoverButton::OnMouseLeave()
{
    m_tracking = 0;
    Load(m_upName);
    RedrawWindow();
    m_hovering = 0;
}

} // namespace tolvar
