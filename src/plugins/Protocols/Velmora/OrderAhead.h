#pragma once

#include <QString>

#include <memory>

#include "format/DocumentWriter.h"

class QThread;

namespace Velmora {

// The attribute order of a file opened for editing, learned on a worker
// thread while the user edits: writing the edit back then need not read the
// whole old file once more for it. The writer still checks that the file
// holds what the order was learned from (DocumentWriter::save).
class OrderAhead
{
public:
    explicit OrderAhead(const QString& fileName);
    // Waits for the worker.
    ~OrderAhead();
    OrderAhead(const OrderAhead&) = delete;
    OrderAhead& operator=(const OrderAhead&) = delete;

    // A writer holding the file's order; waits while the worker still reads.
    DocumentWriter writer() const;

private:
    DocumentWriter m_writer;
    std::unique_ptr<QThread> m_worker;
};

} // namespace Velmora
