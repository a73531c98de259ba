// Symbol visibility for the Ulmora SDK.
//
// ULMORA_API marks what the UlmoraApi library exports. Everything else in the
// library is hidden, so hosts and plug-ins can only bind to the published
// contract. ULMORA_PLUGIN_EXPORT marks the entry point a plug-in module
// exports ("GetPluginManagerAPIInterface").
#ifndef ULMORA_EXPORT_H
#define ULMORA_EXPORT_H

#if defined(_WIN32)
#  if defined(ULMORA_BUILDING_API)
#    define ULMORA_API __declspec(dllexport)
#  else
#    define ULMORA_API __declspec(dllimport)
#  endif
#  define ULMORA_PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#  define ULMORA_API __attribute__((visibility("default")))
#  define ULMORA_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// printf-style checking for key formats and log formats. MinGW's C++ runtime
// uses its own ANSI stdio, which follows the GNU conversions.
#if defined(__GNUC__)
#  if defined(__MINGW32__)
#    define ULMORA_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#  else
#    define ULMORA_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#  endif
#else
#  define ULMORA_PRINTF(fmt, args)
#endif

#endif
