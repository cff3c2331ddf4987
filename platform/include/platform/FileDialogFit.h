#pragma once
// The Qt file dialog laid out for its content: wide and tall enough for a
// listing of data files, and in the detail view every column but the name as
// wide as its widest entry (sizes such as "218 bytes" and the type are never
// cut); the name takes the rest.  Sizes follow the dialog's font, so they
// scale with it.  The Qt dialogs (platform::dialogs()) use it; the render
// tools call it on a dialog of their own to picture it.

class QFileDialog;

namespace talvor::platform {

void fitFileDialog(QFileDialog& dialog);

}  // namespace talvor::platform
