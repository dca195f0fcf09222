#pragma once
// The styled text of the RTF reader in a QTextDocument: one block per paragraph with its
// alignment, one fragment per run with its weight, slant, underline, size and colour.

#include "formats/RtfReader.h"

class QTextDocument;

namespace tola {

// Replaces the document's content. Line breaks inside a run stay in their paragraph.
void FillDocument(QTextDocument& document, const StyledText& text);

}  // namespace tola
