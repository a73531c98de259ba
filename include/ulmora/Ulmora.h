// Umbrella header: everything the Ulmora SDK exports.
//
// Threads: each header says what may be called from which thread; in short, one thread at a time
// per application and per object (parameter lists may be built on several threads at once), and UlmoraSetDebugOutputHandler from any thread.
#ifndef ULMORA_ULMORA_H
#define ULMORA_ULMORA_H

#include "ulmora/Export.h"
#include "ulmora/Exception.h"
#include "ulmora/Log.h"
#include "ulmora/DoubleZeroString.h"
#include "ulmora/Parameters.h"
// ulmora/Registry.h (the Win32-named registry calls, and <windows.h> on
// Windows) is not included here: hosts that call the registry include it,
// and so do judges that store their verdict (ulmora/PluginKitStore.h).
#include "ulmora/RegConfig.h"
#include "ulmora/DebugOutput.h"
#include "ulmora/PluginObject.h"
#include "ulmora/PluginManager.h"
#include "ulmora/ITest.h"
#include "ulmora/IInterpreter.h"
#include "ulmora/IResultDatabase.h"
#include "ulmora/TestManager.h"
#include "ulmora/InterpreterManager.h"
#include "ulmora/IApplication.h"
#include "ulmora/PluginKit.h"

#endif
