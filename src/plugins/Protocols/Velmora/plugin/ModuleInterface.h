#pragma once

// The host's module interface identifier. Shared by the module's metadata and
// the workstation, which accepts only plug-ins that declare it.
#define VELMORA_MODULE_IID "org.example.workstation.road.VelmoraModule"
