// SPDX-License-Identifier: MIT
// The window-system platform the program is asked to start on (-platform NAME
// or QT_QPA_PLATFORM), checked before QApplication is built: Qt ends the
// program with abort() when no platform plugin has the name. check() looks
// for the name among the keys of the platform plugins in the folders Qt
// searches and, when it is not there, prints Qt's list of platforms, so that
// main() can end with the usage code instead. When no plugin can be found at
// all (an unusual installation) or on systems other than Linux, the choice is
// left to Qt.
#pragma once

#include <QString>
#include <QStringList>

class PlatformChoice
{
public:
    // True when QApplication may be built; false after the reason and the
    // available platforms have been printed to stderr.
    static bool check(int argc, char *argv[]);

    // The platform asked for: the -platform argument, else QT_QPA_PLATFORM;
    // empty when neither is given.
    static QString requested(int argc, char *argv[]);
    // The keys of the platform plugins in `folders`, and of those linked in.
    static QStringList available(const QStringList &folders);
    // Whether `request` can be met by one of `keys`: Qt takes "a;b" as a list
    // to try in turn and "name:options" as a name with its options.
    static bool canStart(const QString &request, const QStringList &keys);

private:
    static QStringList pluginFolders(int argc, char *argv[]);
};
