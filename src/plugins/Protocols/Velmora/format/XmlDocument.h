#pragma once

#include <QByteArray>
#include <QString>

class QDomDocument;
class QIODevice;

namespace Velmora {
namespace Xml {

// Why a document could not be read, and where (line and column counted from 1,
// 0 when unknown).
struct ReadError
{
    enum Kind { None, CannotOpen, Syntax, TooDeep };

    Kind kind = None;
    QString message; // the file's error text, or the parser's message
    int line = 0;
    int column = 0;
};

enum class Namespaces { Ignored, Processed };

// The document parser recurses once per level of nesting, so a small file of
// deeply nested elements exhausts the stack. These parse in one pass that
// stops where elements nest deeper than MaxNestingDepth ("Elements nested
// deeper than 256 levels", where the bound was passed); otherwise the document
// and the parser's own messages are those of QDomDocument::setContent. A
// document type with an internal subset, whose entities may hold elements, is
// first read by a streaming pass that counts them. False with the reason when
// the input is refused.
bool parseDocument(QIODevice* device, QDomDocument* document, ReadError* error,
                   Namespaces namespaces = Namespaces::Ignored);
bool parseDocument(const QByteArray& data, QDomDocument* document, ReadError* error,
                   Namespaces namespaces = Namespaces::Ignored);
// Text that is already characters: an encoding it declares is not applied.
bool parseDocument(const QString& text, QDomDocument* document, ReadError* error,
                   Namespaces namespaces = Namespaces::Ignored);
// Opens the file and parses it as above.
bool readDocument(const QString& fileName, QDomDocument* document, ReadError* error,
                  Namespaces namespaces = Namespaces::Ignored);

// A large document the GUI thread edits: parsed as above, but on a thread of
// the library's own that the call waits for, so that the document's nodes
// come from that thread's heap. releaseAside() then frees them there, without
// holding up the caller or taking turns with it for its heap.
bool parseDocumentAside(const QByteArray& data, QDomDocument* document, ReadError* error);
// Takes the caller's handle (left null) and drops it on that thread, where
// the nodes go once no other handle to any of them is left.
void releaseAside(QDomDocument* document);

} // namespace Xml
} // namespace Velmora
