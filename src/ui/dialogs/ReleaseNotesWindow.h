#pragma once
// "Firmware Release Notes": the rich-text notes kept beside the firmware files, in a window of
// their own that stays open beside the main window.

#include <QWidget>

#include <string>

namespace tola {

class AppState;

class ReleaseNotesWindow : public QWidget {
  Q_OBJECT

 public:
  // Opens the notes of `firmwareFolder`; on failure shows the "Release Notes Error" box (and a
  // file error where the file could not be read) and returns null. The window deletes itself
  // when closed.
  static ReleaseNotesWindow* Open(AppState& app, const std::string& firmwareFolder, QWidget* boxOwner);

 private:
  explicit ReleaseNotesWindow(QWidget* parent = nullptr);
};

}  // namespace tola
