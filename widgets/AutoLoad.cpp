#include "widgets/AutoLoad.h"

#include "resources/Resources.h"

namespace tolvar {

bool AutoLoad(ui::BitmapButton& button, ui::Window& parent, unsigned id, const std::string& caption,
              gfx::Point topLeft, ui::WindowStyle style)
{
    const gfx::Bitmap up = LoadBitmapResource(caption + "U");
    if (up.IsNull()) {
        return false;
    }
    const gfx::Bitmap down = LoadBitmapResource(caption + "D");
    const gfx::Bitmap focused = LoadBitmapResource(caption + "F");
    const gfx::Bitmap disabled = LoadBitmapResource(caption + "X");
    if (!button.IsWindow()) {
        button.SetWindowText(caption);
        if (!button.Create(&parent, gfx::Rect::FromSize(topLeft, up.GetSize()), id, style)) {
            return false;
        }
    }
    button.LoadBitmaps(&up, down.IsNull() ? nullptr : &down, focused.IsNull() ? nullptr : &focused,
                       disabled.IsNull() ? nullptr : &disabled);
    button.SizeToContent();
    return true;
}

} // namespace tolvar
