#include "monkey_scratch.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace fw::monkey {

namespace {

// The kinds of file the program reads, and the fuzz corpora that hold samples of each.
const QStringList kKinds = {"chords", "picks", "pss",  "psg", "joy",
                            "cset",   "beat",  "plog", "sf2", "sf3"};
const QStringList kCorpora = {"chord_sets",         "pick_sets",  "picking_styles", "joy_files",
                              "configuration_sets", "beat_files", "play_log"};

int below(std::mt19937_64& rng, int n) {
    return n <= 1 ? 0 : static_cast<int>(rng() % static_cast<std::uint64_t>(n));
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray crlfLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& l : lines)
        out += l.toLatin1() + "\r\n";
    return out;
}

// Valid files made here rather than kept in the tree: they are long, or name other scratch
// files by their full path.
void writeValidSamples(const QString& dir, std::mt19937_64& rng) {
    QStringList notes;
    for (int i = 0; i < 160; ++i)
        notes << QString::number(30 + below(rng, 60));
    writeBytes(dir + "/full.chords", crlfLines(notes));

    QStringList picks;
    for (int i = 0; i < 32; ++i) {
        QString seq;
        for (int s = 0; s < 7 * (1 + below(rng, 12)); ++s)
            seq += below(rng, 3) == 0 ? QChar('-') : QChar('0' + below(rng, 10));
        picks << seq;
    }
    writeBytes(dir + "/full.picks", crlfLines(picks));

    // A minute of notes: long enough for a replay or a rendering to be interrupted.
    QStringList take;
    for (int t = 0; t < 6000; t += 5 + below(rng, 20)) {
        const int status = 0x91 + below(rng, 8);
        const int note = 40 + below(rng, 40);
        take << QString::asprintf("%02X%02X%02X00-%d", status, note, 40 + below(rng, 80), t);
        take << QString::asprintf("%02X%02X0000-%d", status, note, t + 3);
    }
    writeBytes(dir + "/long-take.plog", crlfLines(take));

    writeBytes(dir + "/scratch.cset", crlfLines({dir + "/e-major.chords", dir + "/sets.picks",
                                                 dir + "/calibrated-guitar.joy"}));
    writeBytes(dir + "/broken-names.cset",
               crlfLines({dir + "/garbage.chords", dir + "/missing.picks", dir + "/folder.joy"}));
    const QString soundFont = "/usr/share/sounds/sf2/default-GM.sf2";
    if (QFileInfo::exists(soundFont)) {
        QFile::link(soundFont, dir + "/default-GM.sf2");
        QFile sf(soundFont);
        if (sf.open(QIODevice::ReadOnly))
            writeBytes(dir + "/truncated.sf2", sf.read(4096));
    }
}

} // namespace

Scratch::Scratch(QString root) : root_(std::move(root)) {}

void Scratch::fill(std::mt19937_64& rng) {
    QDir().mkpath(filesDir());
    QDir().mkpath(savedDir());
    for (const QString& corpus : kCorpora) {
        QDirIterator it(QStringLiteral(FW_SOURCE_DIR "/fuzz/corpus/") + corpus, QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile::copy(path, filesDir() + "/" + QFileInfo(path).fileName());
        }
    }
    writeValidSamples(filesDir(), rng);
    for (const QString& ext : kKinds)
        ensureKind(ext, rng);
    before_ = snapshot();
}

// Invalid files of one kind: empty, binary, larger than any loader reads, and names that are
// no regular file at all.
void Scratch::ensureKind(const QString& ext, std::mt19937_64& rng) {
    if (!kinds_.insert(ext).second)
        return;
    const QString base = filesDir() + "/";
    writeBytes(base + "empty." + ext, {});
    QByteArray garbage(4096, '\0');
    for (char& c : garbage)
        c = static_cast<char>(below(rng, 256));
    writeBytes(base + "garbage." + ext, garbage);
    QByteArray latin1;
    for (int i = 0; i < 200; ++i)
        latin1 += QByteArray::number(below(rng, 300) - 20) + (i % 7 == 0 ? "\xe9\xff" : "") +
                  (i % 3 == 0 ? "\r" : "\r\n");
    latin1 += QByteArray(70000, '7');
    writeBytes(base + "latin1-long-line." + ext, latin1);
    QFile huge(base + "huge." + ext);
    if (huge.open(QIODevice::WriteOnly))
        huge.resize(qint64{300} << 20); // sparse: takes no room on the disk
    QDir().mkpath(base + "folder." + ext);
    ::mkfifo(QFile::encodeName(base + "pipe." + ext).constData(), 0600);
    QFile::link("/dev/zero", base + "zero." + ext);
    QFile::link(base + "nowhere/missing." + ext, base + "dangling." + ext);
    // A kind first met in a dialog during the run: its files are the monkey's, not the program's.
    if (!before_.empty())
        for (const char* name :
             {"empty", "garbage", "latin1-long-line", "huge", "folder", "pipe", "zero", "dangling"})
            before_.emplace(base + name + "." + ext, describe(base + name + "." + ext));
}

QStringList Scratch::extensionsOf(const QStringList& nameFilters) {
    QStringList exts;
    static const QRegularExpression pattern(R"(\*\.([A-Za-z0-9]+))");
    for (const QString& filter : nameFilters) {
        auto it = pattern.globalMatch(filter);
        while (it.hasNext()) {
            const QString ext = it.next().captured(1).toLower();
            if (!exts.contains(ext))
                exts << ext;
        }
    }
    return exts;
}

QStringList Scratch::filesWithExtension(const QString& dir, const QStringList& exts) const {
    QStringList out;
    const QDir::Filters filter = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& info : QDir(dir).entryInfoList(filter, QDir::Name))
        if (exts.isEmpty() || exts.contains(info.suffix().toLower()))
            out << info.absoluteFilePath();
    return out;
}

QString Scratch::openChoice(const QStringList& exts, std::mt19937_64& rng) {
    std::mt19937_64 fresh(rng());
    for (const QString& ext : exts)
        ensureKind(ext, fresh);
    const int r = below(rng, 100);
    QStringList pool;
    if (r < 15)
        pool = filesWithExtension(savedDir(), exts); // what the program saved: a round trip
    else if (r < 30)
        pool = filesWithExtension(filesDir(), {});
    if (pool.isEmpty())
        pool = filesWithExtension(filesDir(), exts);
    return pool.isEmpty() ? filesDir() + "/empty.txt" : pool[below(rng, pool.size())];
}

QString Scratch::saveChoice(const QStringList& exts, std::mt19937_64& rng) {
    const QString ext = exts.isEmpty() ? QString("txt") : exts[below(rng, exts.size())];
    const int r = below(rng, 100);
    QString path;
    if (r < 55) {
        path = savedDir() + QString("/saved-%1.").arg(++saves_) + ext;
    } else if (r < 75) {
        const QStringList existing = filesWithExtension(savedDir(), exts);
        path = existing.isEmpty() ? savedDir() + "/first." + ext
                                  : existing[below(rng, existing.size())];
    } else if (r < 83) {
        const QStringList inputs = filesWithExtension(filesDir(), exts);
        path = inputs.isEmpty() ? savedDir() + "/input." + ext : inputs[below(rng, inputs.size())];
    } else if (r < 90) {
        path = savedDir() + QString::fromUtf8("/s\u00e4ved \u266a %1.").arg(saves_) + ext;
    } else if (r < 95) {
        path = savedDir() + "/" + QString(300, 'n') + "." + ext; // longer than a name may be
    } else {
        // Without its extension: the dialog's default suffix decides.
        path = savedDir() + QString("/plain-%1").arg(++saves_);
    }
    asked_.insert(path);
    asked_.insert(QFileInfo(path).canonicalFilePath()); // a link is written through
    for (const QString& e : exts)
        asked_.insert(path + "." + e);
    return path;
}

// What a scratch entry is, to tell later whether it changed: its type, size and digest.
QString Scratch::describe(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink())
        return "link to " + info.symLinkTarget();
    if (info.isDir())
        return "folder";
    if (!info.isFile())
        return "special";
    if (info.size() > (16 << 20))
        return QString("file of %1 bytes").arg(info.size());
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (f.open(QIODevice::ReadOnly))
        hash.addData(&f);
    return QString("file of %1 bytes, sha1 %2")
        .arg(info.size())
        .arg(QString::fromLatin1(hash.result().toHex()));
}

std::map<QString, QString> Scratch::snapshot() const {
    std::map<QString, QString> out;
    for (const QString& dir : {filesDir(), savedDir()}) {
        QDirIterator it(dir, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            out.emplace(path, describe(path));
        }
    }
    return out;
}

QStringList Scratch::check() const {
    QStringList problems;
    const auto now = snapshot();
    for (const auto& [path, what] : before_) {
        if (asked_.count(path))
            continue;
        auto it = now.find(path);
        if (it == now.end())
            problems << "removed: " + path;
        else if (it->second != what)
            problems << "changed: " + path + " (was " + what + ", now " + it->second + ")";
    }
    for (const auto& [path, what] : now)
        if (!before_.count(path) && !asked_.count(path))
            problems << "appeared unasked: " + path + " (" + what + ")";
    return problems;
}

} // namespace fw::monkey
