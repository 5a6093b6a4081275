#pragma once
// A tool window's title followed by the name of the video it works on, for while two videos
// are open side by side and each has tools of its own.
class QString;
class QWidget;

namespace kivra {

// window's own title, then " - " and label unless label is empty. Its own title is the one it
// had when it was first labelled.
void LabelWindow(QWidget* window, const QString& label);

}  // namespace kivra
