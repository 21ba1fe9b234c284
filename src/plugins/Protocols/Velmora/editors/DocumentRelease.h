#pragma once

class QDomDocument;

namespace Velmora {
namespace Editors {

// Frees a document on a thread of its own: the nodes of a large zone keep
// the GUI thread busy for a good part of a second. The caller hands over its
// reference, which must be the last: no other handle of the document or of
// any of its nodes may be left anywhere, since the freeing walks them all.
void releaseInBackground(QDomDocument* document);

// Returns once every document handed over is freed; the library that runs
// the freeing must not go before.
void waitForReleases();

} // namespace Editors
} // namespace Velmora
