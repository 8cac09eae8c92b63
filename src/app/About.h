#pragma once
// What the about box, the saint-of-the-day window and the help show: the program's name, version,
// build and installation date, the announcement, the credits, the project's page, the help topics
// and which topic F1 opens in each window.

#include "core/Environment.h"
#include "tariffs/Settings.h"

#include <string>
#include <vector>

namespace qv {

// The project's public page, shown in the about box and named with a new version; none yet, and
// then nothing is shown (a build may give one: -DQV_PROJECT_PAGE="https://...").
#ifdef QV_PROJECT_PAGE
constexpr const char* ProjectPage = QV_PROJECT_PAGE;
#else
constexpr const char* ProjectPage = "";
#endif
// The announcement the program comes with; a newer one from the announcement check replaces it.
constexpr const char* BuiltInAnnouncement = VersionAnnouncement;

std::string VersionText(const TAppEnvironment& env);
// "Installato il d mmmm yyyy" (empty when unknown).
std::string InstalledText(const TSettings& settings);
std::string AnnouncementText(const TSettings& settings);
// The jokes that scroll in the credits (ours).
const std::vector<std::string>& CreditLines();

struct THelpTopic
{
    const char* Id;
    const char* Title;
};
const std::vector<THelpTopic>& HelpTopics();
// The topic F1 opens in a window (by the window's object name); the first topic for any other.
std::string HelpTopicFor(const std::string& windowName);

} // namespace qv
