// Keeping the dialog toolkit in the process once the module has brought it in.
#pragma once

namespace orvella {

/// Makes the dialog toolkit's libraries stay loaded when the module is unloaded. A toolkit
/// such as GTK registers types and process-wide state from its library constructors and
/// cannot be unloaded and loaded again safely; a host that unloads and reloads the module
/// must find it still there. Does nothing where the toolkit is part of the system. Called
/// once, when the application object is constructed; any thread.
void KeepToolkitLoaded();

}  // namespace orvella
