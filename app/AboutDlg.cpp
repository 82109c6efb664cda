#include "app/AboutDlg.h"

#include "resources/DialogResources.h"
#include "resources/Resources.h"
#include "widgets/AutoLoad.h"

namespace tolvar {

namespace {

// The template's controls keep their texts and order; their places are the
// skin's, on the message box's panel (bitmap 185), whose text well starts
// at (13, 50).
constexpr int kPanelId = 185;
constexpr unsigned kOkControl = 1;
constexpr gfx::Point kIconAt{30, 66};
constexpr gfx::Color kTextColor = gfx::Rgb(235, 235, 235);

// Lays a picture with alpha over another.
void Blend(gfx::Bitmap& target, const gfx::Bitmap& picture, gfx::Point at)
{
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            const int tx = at.x + x, ty = at.y + y;
            if (tx < 0 || ty < 0 || tx >= target.Width() || ty >= target.Height()) {
                continue;
            }
            const gfx::Color s = picture.Pixel(x, y), d = target.Pixel(tx, ty);
            const unsigned a = s >> 24;
            auto mix = [a](unsigned sc, unsigned dc) {
                return (sc * a + dc * (255 - a) + 127) / 255;
            };
            target.SetPixel(tx, ty,
                            0xFF000000u | (mix((s >> 16) & 0xFF, (d >> 16) & 0xFF) << 16) |
                                (mix((s >> 8) & 0xFF, (d >> 8) & 0xFF) << 8) |
                                mix(s & 0xFF, d & 0xFF));
        }
    }
}

} // namespace

CAboutDlg::CAboutDlg() : m_picture(LoadBitmapResource(kPanelId))
{
    const DialogTemplate* t = FindDialogTemplate(IDD);
    const ControlTemplate* icon = t != nullptr ? t->Control(-1) : nullptr;
    if (!m_picture.IsNull() && icon != nullptr) {
        const gfx::Bitmap picture = LoadIconResource(std::stoi(icon->text));
        Blend(m_picture, picture, kIconAt);
        if (m_picture.Detail() != nullptr && picture.Detail() != nullptr) {
            Blend(*m_picture.Detail(), *picture.Detail(), kIconAt.Scaled(2));
        }
    }
    if (!m_picture.IsNull()) {
        SetInitialSize(m_picture.GetSize());
    }
    if (t != nullptr) {
        SetWindowText(t->caption);
    }
}

CAboutDlg::~CAboutDlg() = default;

bool CAboutDlg::OnInitDialog()
{
    SetTitle(GetWindowText());
    // The two text lines of the template, in its order, beside the icon.
    const DialogTemplate* t = FindDialogTemplate(IDD);
    std::vector<std::string> lines;
    if (t != nullptr) {
        for (const ControlTemplate& c : t->controls) {
            if (c.className == "static" && !(c.style & kStyleIcon)) {
                lines.push_back(c.text);
            }
        }
    }
    const auto font = gfx::Font::Label();
    CLabel* labels[] = {&m_nameLabel, &m_lineLabel};
    for (std::size_t i = 0; i < 2 && i < lines.size(); ++i) {
        labels[i]->Create(this, gfx::Rect::FromSize(76, 68 + static_cast<int>(i) * 20, 220, 16));
        labels[i]->SetTextFormat(gfx::kTextLeft | gfx::kTextSingleLine);
        labels[i]->SetFont(font);
        labels[i]->SetWindowText(lines[i]);
    }
    m_okButton.SetAccessibleName("OK");
    AutoLoad(m_okButton, *this, kOkControl, "BTNOK", {107, 123});
    if (!m_picture.IsNull()) {
        SetWindowSize(m_picture.GetSize());
    }
    SetWindowRgn(gfx::Region::RoundRect(GetClientRect(), 40, 40), false);
    return true;
}

void CAboutDlg::OnPaint(gfx::Painter& painter)
{
    painter.DrawBitmap({0, 0}, m_picture);
    painter.SetFont(gfx::Font::Label());
    painter.SetTextColor(gfx::Rgb(153, 182, 235));
    painter.SetBackgroundMode(gfx::BackgroundMode::Transparent);
    // The caption sits on the panel's title strip, after its emblem.
    painter.DrawText({200, 19}, GetWindowText());
}

void CAboutDlg::OnCtlColor(ui::Window&, ui::CtlColorKind, ui::ControlColors& colors)
{
    colors.mode = gfx::BackgroundMode::Transparent;
    colors.text = kTextColor;
    colors.brush = gfx::Brush::Hollow();
}

bool CAboutDlg::OnCommand(unsigned id, unsigned code, WindowHandle from)
{
    if (id == kOkControl) {
        OnOK();
        return true;
    }
    return ui::Dialog::OnCommand(id, code, from);
}

} // namespace tolvar
