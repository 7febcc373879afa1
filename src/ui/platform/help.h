#pragma once

#include <QString>
#include <QUrl>

namespace keelvault::ui {

// The help pages: share/keelvault/help next to the installed program, in the
// XDG data folders, or in the source tree when run from a build folder.
QString helpFolder();
// The page of a topic path such as "introduction/tasklog.html"; the main page
// for an empty topic.
QUrl helpTopicUrl(const QString& topic);

inline constexpr const char* kWebSite = "https://keelvault.org/";
inline constexpr const char* kSupportPage = "https://keelvault.org/support/";
inline constexpr const char* kSupportMail = "support@keelvault.org";

}  // namespace keelvault::ui
