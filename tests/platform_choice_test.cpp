// SPDX-License-Identifier: MIT
// The platform asked for on the command line or in QT_QPA_PLATFORM, checked
// against the platform plugins Qt has before QApplication could abort on it.
#include "platform_choice.h"

#include <QtTest>

#include <vector>

class PlatformChoiceTest : public QObject
{
    Q_OBJECT

private slots:
    void unknownPlatformIsCaughtBeforeQt_data();
    void unknownPlatformIsCaughtBeforeQt();
};

void PlatformChoiceTest::unknownPlatformIsCaughtBeforeQt_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the program's name
    QTest::addColumn<QString>("environment");   // QT_QPA_PLATFORM; null: unset
    QTest::addColumn<bool>("mayStart");

    QTest::newRow("no platform asked for") << QStringList{} << QString() << true;
    QTest::newRow("an unknown platform")
        << QStringList{"-platform", "nosuch"} << QString() << false;
    QTest::newRow("a known platform with options, in capitals")
        << QStringList{"--platform", "OFFSCREEN:fontengine=freetype"} << QString() << true;
    QTest::newRow("a list to try in turn, one known")
        << QStringList{"-platform", "nosuch;offscreen"} << QString() << true;
    QTest::newRow("an unknown platform in the environment")
        << QStringList{"--no-results"} << "nosuch" << false;
    QTest::newRow("the argument before the environment")
        << QStringList{"-platform", "offscreen"} << "nosuch" << true;
}

void PlatformChoiceTest::unknownPlatformIsCaughtBeforeQt()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, environment);
    const QByteArray saved = qgetenv("QT_QPA_PLATFORM");
    if (environment.isNull())
        qunsetenv("QT_QPA_PLATFORM");
    else
        qputenv("QT_QPA_PLATFORM", environment.toLocal8Bit());

    arguments.prepend(QStringLiteral("tarnvik"));
    std::vector<QByteArray> storage;
    std::vector<char *> argv;
    for (const QString &argument : std::as_const(arguments))
        storage.push_back(argument.toLocal8Bit());
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    const bool mayStart = PlatformChoice::check(int(argv.size()), argv.data());
    qputenv("QT_QPA_PLATFORM", saved);

    QTEST(mayStart, "mayStart");
}

QTEST_GUILESS_MAIN(PlatformChoiceTest)
#include "platform_choice_test.moc"
