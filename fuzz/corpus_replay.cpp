// SPDX-License-Identifier: MIT
// Runs every file of the given corpus folders (or single files) once through
// the reply fuzz entry, without libFuzzer, so the corpus is a regular test with
// any compiler. A failed check aborts with its reason.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool replayFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                           size_t(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    bool ok = argc > 1;
    for (int a = 1; a < argc; ++a) {
        const QString path = QString::fromLocal8Bit(argv[a]);
        if (QFileInfo(path).isDir()) {
            const QFileInfoList files =
                QDir(path).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
            for (const QFileInfo &info : files) {
                ok = replayFile(info.filePath()) && ok;
                ++replayed;
            }
        } else {
            ok = replayFile(path) && ok;
            ++replayed;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return ok && replayed > 0 ? 0 : 1;
}
