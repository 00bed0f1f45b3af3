#pragma once

// The name under which a publisher places the shared configuration image.
inline constexpr const char* SHARED_CONFIG_NAME = "velk";

// Attaches the configuration image another process published under
// SHARED_CONFIG_NAME and sets the configuration view on it, and starts the
// socket layer: the only set-up a process needs before OpenPort. Returns 0,
// or -1 after recording the error; no configuration is attached then. The
// view stays mapped for the life of the process; attaching again maps a
// second view and moves the configuration to it.
int VELK_GetShm();

// The same for an image published under another name.
int AttachSharedConfig(const char* name);
