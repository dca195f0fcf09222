#pragma once
// "Firmware Release Notes": the rich-text notes kept beside the firmware files, in a window of
// their own that stays open beside the main window.

#include <QWidget>

#include <cstddef>
#include <string>

class QTextBrowser;

namespace tola {

class AppState;
struct StyledText;

class ReleaseNotesWindow : public QWidget {
  Q_OBJECT

 public:
  // Notes larger than this are refused rather than read into memory.
  static constexpr std::size_t kMaxNotesBytes = 16u * 1024u * 1024u;
  static constexpr const char* kNotesFileName = "tola400fwnotes.rtf";

  // Opens the notes of `firmwareFolder`; on failure shows the "Release Notes Error" box (and a
  // file error where the file could not be read) and returns null. The window deletes itself
  // when closed.
  static ReleaseNotesWindow* Open(AppState& app, const std::string& firmwareFolder, QWidget* boxOwner);

  QTextBrowser* Pane() const { return m_pane; }
  QSize sizeHint() const override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  explicit ReleaseNotesWindow(const StyledText& notes);

  QTextBrowser* m_pane = nullptr;
};

}  // namespace tola
