#include "ui/dialogs/ReleaseNotesWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QKeyEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <filesystem>
#include <system_error>

#include "app/AppState.h"
#include "app/ErrorText.h"
#include "formats/MappedFile.h"
#include "formats/RtfReader.h"
#include "platform/FileSystem.h"
#include "ui/UiText.h"
#include "ui/widgets/DialogUnits.h"
#include "ui/widgets/RichText.h"

namespace tola {

namespace {

// Anything of that name counts as found, a dangling link too: opening it then tells what is wrong.
bool EntryExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

void NotesError(AppState& app, const std::string& path, const std::string& reason = {}) {
  std::string text = FormatText(LoadString(kIdsUnableToOpenNotes), path);
  if (!reason.empty()) text += "\r\n" + reason;
  app.MessageBox(text, LoadString(kIdsReleaseNotesErrorCaption), BoxButtons::Ok, BoxIcon::Error);
}

}  // namespace

ReleaseNotesWindow* ReleaseNotesWindow::Open(AppState& app, const std::string& firmwareFolder, QWidget* boxOwner) {
  const std::string path = JoinPath(firmwareFolder, kNotesFileName);
  if (!EntryExists(path)) {
    NotesError(app, path);
    return nullptr;
  }
  MappedFile file;
  if (const ResultCode code = file.Open(path); code != kErrorSuccess) {
    app.ReportError(kIdsReleaseNotesErrorCaption, kIdsCallFailed, file.FailedCall(), path, code, ErrorText(code));
    NotesError(app, path);
    return nullptr;
  }
  if (file.Text().size() > kMaxNotesBytes) {
    NotesError(app, path, FormatText(LoadString(kIdsNotesTooLarge), unsigned{kMaxNotesBytes / (1024 * 1024)}));
    return nullptr;
  }
  const RtfReadResult notes = ReadRtf(file.Text());
  file.Close();
  if (!notes.Ok()) {
    NotesError(app, path, notes.error);
    return nullptr;
  }

  auto* window = new ReleaseNotesWindow(notes.text);
  if (boxOwner != nullptr) {
    // Over the main window, where the operator is looking, though it belongs to no window.
    window->resize(window->sizeHint());
    window->move(boxOwner->frameGeometry().center() - window->rect().center());
  }
  window->show();
  return window;
}

ReleaseNotesWindow::ReleaseNotesWindow(const StyledText& notes) : QWidget(nullptr, Qt::Window) {
  setObjectName(QStringLiteral("releaseNotesWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(StringQt(kIdsReleaseNotesCaption));

  m_pane = MakeDocumentPane(*this, QStringLiteral("releaseNotesText"), StringQt(kIdsReleaseNotesCaption));
  ShowDocument(*m_pane, notes);

  QPushButton* close = LayOutDocumentWindow(*this, m_pane);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void ReleaseNotesWindow::keyPressEvent(QKeyEvent* event) {
  // Escape closes it as it would a dialog.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

QSize ReleaseNotesWindow::sizeHint() const { return DialogUnits(*this, 370, 245); }

}  // namespace tola
