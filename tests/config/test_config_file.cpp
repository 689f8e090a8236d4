// vadrel.cnf on a real disk, in a folder of its own per test.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "config/configurazione.h"
#include "config_rows.h"
#include "support/fakes.h"

namespace vadrel::testing {
namespace {

struct Bench {
    FakePort port;
    FakeClock clock;
    FakeShell shell;
    Form1 form{Platform{port, clock, shell, RegionalFormat::italian()}};
    QTemporaryDir dir;

    Bench() { form.cartella_programma = dir.path().toStdString(); }

    QString path(const char* name = nome_file_configurazione) const { return dir.filePath(name); }

    void put(const std::string& bytes, const char* name = nome_file_configurazione) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
    }

    std::string get(const char* name = nome_file_configurazione) const {
        QFile file(path(name));
        if (!file.open(QIODevice::ReadOnly)) return "<missing>";
        return file.readAll().toStdString();
    }

    QStringList entries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }
};

TEST(ConfigFile, AMissingFileGivesZeroAndChangesNothing) {
    Bench b;
    b.form.mezzi = sentinel_table();
    EXPECT_EQ(leggi_configurazione(b.form), 0);
    EXPECT_EQ(b.form.mezzi, sentinel_table());
    EXPECT_TRUE(b.shell.messages.empty());
}

TEST(ConfigFile, ReadsTheFileInTheProgramsFolderNotTheCurrentDirectory) {
    Bench b;
    b.put(worked_example_text());
    const QString before = QDir::currentPath();
    ASSERT_NE(before, b.dir.path());
    b.form.mezzi = sentinel_table();
    EXPECT_EQ(leggi_configurazione(b.form), 1);
    EXPECT_EQ(b.form.mezzi[1], (veicolo{45, 30, -7, "N", 9, 12, -7, "E", 12, 270, 0, -1}));
    EXPECT_EQ(b.form.mezzi[2], (veicolo{0, 0, -7, "", 0, 0, -7, "", 0, 0, 0, 0}));
    EXPECT_EQ(QDir::currentPath(), before);
    EXPECT_EQ(percorso_configurazione(b.form), b.path().toStdString());
}

TEST(ConfigFile, ACutFileFillsWhatItHoldsAndGivesZero) {
    Bench b;
    const std::string text = testo_configurazione(full_table());
    b.put(text.substr(0, text.find("\r\n") + 2 + 20));  // line 1 and a bit of line 2
    b.form.mezzi = sentinel_table();
    EXPECT_EQ(leggi_configurazione(b.form), 0);
    EXPECT_EQ(b.form.mezzi[0].vel, full_table()[0].vel);
    EXPECT_EQ(b.form.mezzi[1], sentinel_table()[1]);
}

// Only the first MiB is read: a good file is far smaller, and a huge file
// must not hold up the start-up.
TEST(ConfigFile, OnlyTheFirstMegabyteIsRead) {
    const struct {
        const char* name;
        std::string bytes;
        int result;
    } rows[] = {
        {"marker early, 2 MiB after it", worked_example_text() + std::string(2 << 20, 'x'), 1},
        {"2 MiB of blanks before the marker", std::string(2 << 20, ' ') + "\"#\"", 0},
    };
    for (const auto& row : rows) {
        Bench b;
        b.put(row.bytes);
        EXPECT_EQ(leggi_configurazione(b.form), row.result) << row.name;
    }
}

TEST(ConfigFile, SomethingElseByThatNameGivesZero) {
    Bench b;
    ASSERT_TRUE(QDir(b.dir.path()).mkdir(nome_file_configurazione));
    b.form.mezzi = sentinel_table();
    EXPECT_EQ(leggi_configurazione(b.form), 0);
    EXPECT_EQ(b.form.mezzi, sentinel_table());
}

TEST(ConfigFile, WritingCreatesTheFile) {
    Bench b;
    b.form.mezzi = worked_example_table();
    EXPECT_TRUE(scrivi_configurazione(b.form));
    EXPECT_EQ(b.get(), worked_example_text());
    EXPECT_EQ(b.entries(), QStringList{nome_file_configurazione}) << "no temporary file left behind";
    EXPECT_TRUE(b.shell.messages.empty());
}

TEST(ConfigFile, WritingReplacesTheFileCompletely) {
    Bench b;
    // A good file, longer than the new one: bytes after its marker are never read.
    b.put(testo_configurazione(full_table()) + std::string(10000, 'x'));
    b.form.mezzi = worked_example_table();
    EXPECT_TRUE(scrivi_configurazione(b.form));
    EXPECT_EQ(b.get(), worked_example_text());
    EXPECT_EQ(b.entries(), QStringList{nome_file_configurazione});
    EXPECT_TRUE(b.shell.messages.empty());

    b.form.mezzi = sentinel_table();
    EXPECT_EQ(leggi_configurazione(b.form), 1);
    EXPECT_EQ(b.form.mezzi[0], (veicolo{44, 1, -7, "N", 10, 8, -7, "E", 30, 90, -1, 0}));
}

TEST(ConfigFile, ADamagedFileIsKeptBesideBeforeItIsReplaced) {
    Bench b;
    const std::string damaged = "44,1,\"N\",,10,8,\"E\",30,90,#TRUE#,#FALSE#\r\n45,30,\"N\",,9,12,\"E\",12,boh";
    b.put(damaged);
    b.form.mezzi = sentinel_table();
    EXPECT_EQ(leggi_configurazione(b.form), 0);
    b.form.mezzi = worked_example_table();
    EXPECT_TRUE(scrivi_configurazione(b.form));
    EXPECT_EQ(b.get(), worked_example_text());
    EXPECT_EQ(b.get(nome_copia_configurazione), damaged);
    ASSERT_EQ(b.shell.messages.size(), 1u);
    EXPECT_NE(b.shell.messages[0].find(b.path(nome_copia_configurazione).toStdString()), std::string::npos)
        << b.shell.messages[0];
    EXPECT_EQ(b.shell.messages[0].rfind("vadrel: Il file di configurazione", 0), 0u) << b.shell.messages[0];

    // Once replaced by a good file, the next save keeps no copy and says nothing.
    b.shell.messages.clear();
    EXPECT_TRUE(scrivi_configurazione(b.form));
    EXPECT_TRUE(b.shell.messages.empty());
    EXPECT_EQ(b.get(nome_copia_configurazione), damaged);
}

// Places that cannot take the file even for root, who ignores permission bits.
TEST(ConfigFile, AnUnwritablePlaceIsReportedAndWritesNothing) {
    const struct {
        const char* name;
        std::function<std::string(const QTemporaryDir&)> folder;
        const char* reason;
    } rows[] = {
        {"folder that does not exist",
         [](const QTemporaryDir& d) { return d.filePath("manca").toStdString(); }, "non esiste"},
        {"folder that is a regular file",
         [](const QTemporaryDir& d) {
             QFile f(d.filePath("un_file"));
             EXPECT_TRUE(f.open(QIODevice::WriteOnly));
             return d.filePath("un_file").toStdString();
         },
         "non è una cartella"},
        {"a folder where the file should be",
         [](const QTemporaryDir& d) {
             EXPECT_TRUE(QDir(d.path()).mkdir(nome_file_configurazione));
             return d.path().toStdString();
         },
         "c'è una cartella"},
    };
    for (const auto& row : rows) {
        Bench b;
        b.form.cartella_programma = row.folder(b.dir);
        b.form.mezzi = full_table();
        const auto before = b.entries();
        EXPECT_FALSE(scrivi_configurazione(b.form)) << row.name;
        EXPECT_EQ(b.entries(), before) << row.name;
        ASSERT_EQ(b.shell.messages.size(), 1u) << row.name;
        const std::string& message = b.shell.messages[0];
        EXPECT_EQ(message.rfind("vadrel: Impossibile salvare la tabella dei veicoli nel file ", 0), 0u) << message;
        EXPECT_NE(message.find(percorso_configurazione(b.form)), std::string::npos) << message;
        EXPECT_NE(message.find(row.reason), std::string::npos) << message;
        EXPECT_EQ(b.form.mezzi, full_table()) << row.name << ": the table is kept";
    }
}

// A disk that fills up during the save: the file size limit makes the write
// fail as a full disk would. The previous file must come through whole.
TEST(ConfigFile, AWriteThatFailsHalfwayLeavesThePreviousFileIntact) {
    Bench b;
    b.put(worked_example_text());
    b.form.mezzi = full_table();

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = scrivi_configurazione(b.form);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous_handler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(b.get(), worked_example_text());
    EXPECT_EQ(b.entries(), QStringList{nome_file_configurazione}) << "the half-written file is gone";
    ASSERT_EQ(b.shell.messages.size(), 1u);
    const std::string& message = b.shell.messages[0];
    EXPECT_NE(message.find(b.path().toStdString()), std::string::npos) << message;
    EXPECT_NE(message.find("scrittura non riuscita"), std::string::npos) << message;
    EXPECT_NE(message.find("Il file precedente è rimasto invariato."), std::string::npos) << message;
}

TEST(ConfigFile, AReadOnlyFolderIsReportedAndThePreviousFileKept) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders; covered by the rows above";
    Bench b;
    b.put(worked_example_text());
    ASSERT_TRUE(QFile::setPermissions(b.dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    b.form.mezzi = full_table();
    const bool saved_ok = scrivi_configurazione(b.form);
    QFile::setPermissions(b.dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(b.get(), worked_example_text());
    ASSERT_EQ(b.shell.messages.size(), 1u);
    EXPECT_NE(b.shell.messages[0].find("permesso negato"), std::string::npos) << b.shell.messages[0];
}

}  // namespace
}  // namespace vadrel::testing
