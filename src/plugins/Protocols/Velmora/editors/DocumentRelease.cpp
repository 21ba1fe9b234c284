#include "DocumentRelease.h"

#include <QDomDocument>
#include <QRunnable>
#include <QThreadPool>

namespace Velmora {
namespace Editors {

namespace {

// One thread: documents are freed one after another, without taking more of
// the machine than one core. Destroyed when the library goes, after waiting.
Q_GLOBAL_STATIC(QThreadPool, releasePool)

// Holds the only handle of the document until it runs: no copy of the handle
// may be dropped on the caller's thread while this one frees it.
class Release : public QRunnable
{
public:
    explicit Release(QDomDocument* document)
        : m_document(*document)
    {
        *document = QDomDocument();
    }
    void run() override { m_document = QDomDocument(); }

private:
    QDomDocument m_document;
};

} // namespace

void releaseInBackground(QDomDocument* document)
{
    if (document->isNull())
        return;
    QThreadPool* pool = releasePool();
    pool->setMaxThreadCount(1);
    pool->start(new Release(document));
}

void waitForReleases()
{
    if (releasePool.exists())
        releasePool()->waitForDone();
}

} // namespace Editors
} // namespace Velmora
