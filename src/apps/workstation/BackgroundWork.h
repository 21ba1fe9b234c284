#pragma once

namespace Velmora {

// A whole-zone job beside the live picture (reading a plan, comparing two
// versions of a file): on a busy processor the events and the map come first.
// Lowers the calling thread's priority for the rest of its life, so call it
// only on a thread the caller owns.
void yieldToTheLivePicture();

} // namespace Velmora
