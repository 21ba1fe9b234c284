#include "OrderAhead.h"

#include <QFile>
#include <QThread>

namespace Velmora {

OrderAhead::OrderAhead(const QString& fileName)
    : m_worker(QThread::create([this, fileName] {
        QFile file(fileName);
        if (file.open(QIODevice::ReadOnly))
            m_writer.learnOrder(file.readAll());
    }))
{
    m_worker->start();
}

OrderAhead::~OrderAhead()
{
    m_worker->wait();
}

DocumentWriter OrderAhead::writer() const
{
    m_worker->wait();
    return m_writer;
}

} // namespace Velmora
