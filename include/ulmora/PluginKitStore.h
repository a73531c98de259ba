// Storing a judge's last verdict in the settings store: the one part of the
// plug-in kit that makes registry calls. It is kept apart from
// ulmora/PluginKit.h so that the umbrella header does not bring in
// <windows.h>; a judge that saves its verdict includes this header.
//
// Threads: one thread at a time, like the rest of the kit.
#ifndef ULMORA_PLUGINKITSTORE_H
#define ULMORA_PLUGINKITSTORE_H

#include <string>

#include "ulmora/PluginKit.h"
#include "ulmora/RegConfig.h"
#include "ulmora/Registry.h"

namespace Ulmora {
namespace Kit {

// Replaces "<settings_path>\<list name>\Last" under HKEY_CURRENT_USER
// with the last verdict and its findings. Does nothing before the first
// verdict, so that saving without judging keeps the previous record.
inline void SaveLast(PublishedList& published)
{
    if (published.m_Time.empty())
        return;
    std::string path = published.m_SettingsPath;
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    path += published.m_List.GetName();
    // Findings that are gone must not linger from an earlier record.
    RegDeleteTreeA(HKEY_CURRENT_USER, (path + "\\Last").c_str());
    std::string time = published.m_Time;
    std::string summary = published.m_Summary;
    int32_t answer = published.m_Answer;
    ParameterList last;
    last.SetName("Last");
    last.AddParameterString(1, "time", "time", "When the verdict was reached (UTC)", &time,
                            nullptr, true, true);
    last.AddParameterInt(2, "answer", "answer", "The answer", &answer, nullptr, true, true);
    last.AddParameterString(3, "summary", "summary", "The verdict in one line", &summary,
                            nullptr, true, true);
    last.AddParameterList(4, &published.m_Findings, nullptr, true, true);
    RegConfigWriter().WriteConfig(HKEY_CURRENT_USER, path.c_str(), &last);
}

} // namespace Kit
} // namespace Ulmora

#endif
