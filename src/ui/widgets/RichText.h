#pragma once
// The styled text of the RTF reader in a QTextDocument: one block per paragraph with its
// alignment, one fragment per run with its weight, slant, underline, size and colour.

#include "formats/RtfReader.h"

#include <QString>

class QPushButton;
class QTextBrowser;
class QTextDocument;
class QWidget;

namespace tola {

// Replaces the document's content. Line breaks inside a run stay in their paragraph.
void FillDocument(QTextDocument& document, const StyledText& text);

// A read-only pane for a document, wrapped at its width and never smaller than a useful reading
// area; `name` is what a screen reader calls it.
QTextBrowser* MakeDocumentPane(QWidget& owner, const QString& objectName, const QString& name);
// Fills the pane and shows the document from its top.
void ShowDocument(QTextBrowser& pane, const StyledText& text);

// Lays out a window that shows one document: the pane takes all the room, a default "Close"
// button keeps to the lower right corner. Returns the button for the caller to connect.
QPushButton* LayOutDocumentWindow(QWidget& window, QWidget* pane);

}  // namespace tola
