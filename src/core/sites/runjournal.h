#pragma once

// The runs of whole-site updates as they are kept on disk: each run has a
// folder below the setup's backups folder holding the old bytes of every page
// it changed and a journal. The journal is one line a record, fields split by
// TAB, written so that no field can hold a line break or any other control
// character; it is read back strictly, since a run's restore stores what the
// journal names:
//
//   format  2                  journals that end with an end record
//   folder  PATH               the walked folder (exactly once)
//   planned N                  the pages the run meant to change, where known
//   ending  .html              a page name ending of the walk
//   charset KEY                how pages were read
//   replace NAME / delete NAME the banners of the run
//   begin   RELATIVE SIZE HASH a page is about to be stored (synced first)
//   done    RELATIVE SIZE HASH the page was stored
//   restored RELATIVE          the page was put back
//   end     done|stopped|restored  the run ended, was stopped (and can be
//                              resumed), or was restored; the last one holds
//
// Only the last line may be cut off (by a kill); any other line that breaks
// these rules makes the whole journal refused.

#include "base/result.h"
#include "text/pageencoding.h"

#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pw {

inline constexpr std::string_view kRunJournalName = ".journal";

// Why a field may not go into a journal (empty: it may): it holds a control
// character (a TAB or a line break among them).
std::string UnsafeJournalField(std::string_view field);

// Why a page path of a journal is refused (empty: it is fine): it is empty,
// absolute, has an empty, "." or ".." component, or holds a control character.
std::string UnsafeRelativePath(std::string_view relative);

// Why a walked folder is refused (empty: it is fine): empty, a "." or ".."
// component, or a control character.
std::string UnsafeFolderPath(std::string_view folder);

// Appends records to a run's journal. A synced record is on disk before Append
// returns; a lazy one is handed to the system only. "done" records are lazy: a
// "begin" record whose page already holds what it names tells the same.
class RunJournal {
public:
    RunJournal() = default;
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // A new run's journal is created and must not exist yet; a resumed or
    // restored run's is appended to.
    enum OpenMode { New, Existing };
    Status Open(const std::string& runFolder, OpenMode mode);
    enum Durability { Synced, Lazy };
    // Writes records of fields; a field that UnsafeJournalField refuses makes
    // the whole call fail with nothing written.
    Status AppendRecords(const std::vector<std::vector<std::string>>& records, Durability durability = Synced);
    Status Append(const std::vector<std::string>& record, Durability durability = Synced)
    {
        return AppendRecords({ record }, durability);
    }

private:
    int m_fd = -1;
    std::mutex m_mutex;
};

struct RunJournalEntry {
    std::string Size;
    std::string Hash;
};

// Where a run stands: it ended (each page it meant to change was changed or
// reported), it stopped part way (cancelled, killed or crashed: resume or
// restore it), or it was restored.
enum class SiteRunState { Complete, Stopped, Restored };

// What a journal says of its run.
struct RunJournalState {
    int Format = 1;
    std::string Folder;
    size_t Planned = 0;
    std::string End; // the last end record's word, empty when none
    std::vector<std::string> Endings;
    PageCharset Charset = PageCharset::Auto;
    std::vector<std::string> Replace;
    std::vector<std::string> Delete;
    std::unordered_map<std::string, RunJournalEntry> Begun;
    std::unordered_map<std::string, RunJournalEntry> Done;
    std::set<std::string> Restored;

    SiteRunState State() const;
};

// The journal format a new run writes.
inline constexpr int kRunJournalFormat = 2;

Status ReadRunJournal(const std::string& runFolder, RunJournalState& state);

// Holds a setup's runs for one writer: while it is held, no other update,
// resume or restore of the setup starts, in this process or another.
class SetupRunLock {
public:
    SetupRunLock() = default;
    ~SetupRunLock();
    SetupRunLock(const SetupRunLock&) = delete;
    SetupRunLock& operator=(const SetupRunLock&) = delete;

    // Takes the lock of the setup's backups folder, making the folder
    // (private to the user) where it is missing. Fails at once when another
    // run holds it.
    Status Acquire(const std::string& setupBackups);

private:
    int m_fd = -1;
};

// The runs kept for a setup, newest first.
struct SiteRun {
    std::string Name; // YYYYMMDD-HHMMSS
    size_t Pages = 0; // pages it changed
    size_t Planned = 0; // pages it meant to change, 0 when not known
    SiteRunState State = SiteRunState::Complete;
    bool Deletes = false; // it removed blocks (else it replaced them)
    std::vector<std::string> Banners; // the banners it replaced or removed; none: every changed one
};
std::vector<SiteRun> ListRuns(const std::string& setupBackups);

// Removes the oldest runs of a setup beyond the newest `keep` (0: keeps them
// all), never one that stopped part way; skipped while a run of the setup
// goes on. Returns the names removed.
std::vector<std::string> PruneRuns(const std::string& setupBackups, size_t keep);

// "backups/NAME" below the settings folder: the setup's name (Shift_JIS bytes)
// as UTF-8 text, made safe as a folder name, so that file managers show it.
// A folder an older version made with the name's Shift_JIS bytes is renamed
// to it, so its runs are still found.
std::string SetupBackupFolder(const std::string& settingsFolder, const std::string& setupName);
// A new run's name for the local time now.
std::string NewRunName();
// Makes a new run's folder below the setup's backups folder, exclusively: a
// run started in the same second as another waits for the next second, so
// two runs never share a folder. `run` becomes its name.
Status NewRunFolder(const std::string& setupBackups, std::string& run);

} // namespace pw
