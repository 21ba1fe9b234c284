#pragma once

namespace Velmora {

// What must be in place before the host calls anything: the resources, the
// types the host meets by name, the protocol tables, and the reply types the
// helper library decodes with. Called once, when the library is loaded.
void prepareLibrary();

} // namespace Velmora
