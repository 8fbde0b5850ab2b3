#include "reports/statshistory.h"

#include "base/files.h"
#include "base/sjistext.h"
#include "text/codec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <random>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pw {

namespace {

// Program text in, UTF-8 into the file; and back.
std::string ToDb(std::string_view programText)
{
    return codec::DecodeSjis(programText);
}

std::string FromDb(const unsigned char* text)
{
    return text ? codec::EncodeSjis(reinterpret_cast<const char*>(text)).bytes : std::string();
}

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_rc == SQLITE_OK; }
    Statement& Bind(int index, std::string_view text)
    {
        // An empty view may have no data at all, which SQLite would bind as NULL.
        sqlite3_bind_text(
            m_stmt, index, text.empty() ? "" : text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int index, int64_t value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    // SQLITE_ROW or SQLITE_DONE, or an error code.
    int Step() { return sqlite3_step(m_stmt); }
    void Reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    std::string Text(int column) const { return FromDb(sqlite3_column_text(m_stmt, column)); }
    std::string Ascii(int column) const
    {
        const unsigned char* text = sqlite3_column_text(m_stmt, column);
        return text ? reinterpret_cast<const char*>(text) : "";
    }
    int64_t Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    StatsFigures Figures(int first) const { return { Int(first), Int(first + 1), Int(first + 2) }; }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

// stats.source is the network named at the import (empty for none), which a
// re-import of the same month replaces; stats.network is the name the figures
// are shown under: that network, else the banner's own at the time.
constexpr const char* kSchemaV1 = R"sql(
CREATE TABLE IF NOT EXISTS stats (
    banner TEXT NOT NULL,
    source TEXT NOT NULL,
    network TEXT NOT NULL,
    period TEXT NOT NULL,
    pv INTEGER NOT NULL,
    clicks INTEGER NOT NULL,
    revenue INTEGER NOT NULL,
    PRIMARY KEY (source, period, banner)
);
CREATE INDEX IF NOT EXISTS stats_banner ON stats (banner, period);
CREATE INDEX IF NOT EXISTS stats_period ON stats (period);
CREATE TABLE IF NOT EXISTS imports (
    id INTEGER PRIMARY KEY,
    file TEXT NOT NULL,
    network TEXT NOT NULL,
    period TEXT NOT NULL,
    time TEXT NOT NULL,
    matched INTEGER NOT NULL,
    unmatched INTEGER NOT NULL
);
)sql";

constexpr const char* kSchemaV2 = R"sql(
CREATE TABLE IF NOT EXISTS banners (
    id TEXT PRIMARY KEY,
    name TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS mappings (
    network TEXT PRIMARY KEY,
    key TEXT NOT NULL,
    pv TEXT NOT NULL,
    clicks TEXT NOT NULL,
    revenue TEXT NOT NULL,
    month TEXT NOT NULL,
    match TEXT NOT NULL
);
)sql";

// A key of a network's reports that the user gave a banner (by its stable id).
constexpr const char* kSchemaV3 = R"sql(
CREATE TABLE IF NOT EXISTS assignments (
    network TEXT NOT NULL,
    key TEXT NOT NULL,
    banner TEXT NOT NULL,
    PRIMARY KEY (network, key)
);
)sql";

// The steps from version N - 1 to N, applied in order.
constexpr const char* kMigrations[] = { kSchemaV1, kSchemaV2, kSchemaV3 };
static_assert(std::size(kMigrations) == kStatsSchemaVersion);

std::string UtcStamp(std::time_t time)
{
    std::tm utc {};
    ::gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// Renames the damaged file and its companions to NAME.damaged-STAMP.
Status KeepDamagedDatabase(const std::string& path, std::string& copy)
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path + ".damaged-" + stamp;
    for (int n = 1; n <= 100; ++n) {
        const std::string target = n == 1 ? base : base + "-" + std::to_string(n);
        struct stat st { };
        if (::lstat(target.c_str(), &st) == 0)
            continue;
        if (std::rename(path.c_str(), target.c_str()) != 0)
            return Status::Fail("Cannot keep the damaged " + path + " aside: " + std::strerror(errno));
        for (const char* suffix : { "-wal", "-shm" }) {
            const std::string companion = path + suffix;
            if (::lstat(companion.c_str(), &st) == 0
                && std::rename(companion.c_str(), (target + suffix).c_str()) != 0)
                return Status::Fail("Cannot keep the damaged " + companion + " aside: " + std::strerror(errno));
        }
        copy = target;
        return Status::Ok();
    }
    return Status::Fail("Cannot find a free name for the damaged " + path);
}

// The history holds the user's earnings and, like ads.ini, is for the
// owner's eyes only. SQLite would create a missing file 0644 (less the umask)
// and gives the -wal and -shm files it makes later the mode of the database
// file, so the file is created 0600 before SQLite opens it; one that an
// older version left readable by others is narrowed, with its companions.
Status MakeOwnerOnly(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return Status::Ok();
    }
    if (errno != EEXIST)
        return Status::Fail("Cannot create " + path + ": " + std::strerror(errno));
    for (const char* suffix : { "", "-wal", "-shm" }) {
        const std::string file = path + suffix;
        struct stat st { };
        // A file that cannot be narrowed (not the user's) is still opened as before.
        if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
            ::chmod(file.c_str(), st.st_mode & 0700);
    }
    return Status::Ok();
}

// SUM() fails its whole query on an integer overflow, and one stored figure
// near the ends of int64_t (a history written before reports' figures were
// bounded) would then make the history unreadable for good. The figures are
// summed with this instead: exactly, in 128 bits, and a sum that int64_t
// cannot hold is given as its largest (or smallest) value.
void FigureSumStep(sqlite3_context* context, int, sqlite3_value** values)
{
    auto* sum = static_cast<__int128*>(sqlite3_aggregate_context(context, sizeof(__int128)));
    if (!sum) {
        sqlite3_result_error_nomem(context);
        return;
    }
    if (sqlite3_value_type(values[0]) != SQLITE_NULL)
        *sum += sqlite3_value_int64(values[0]);
}

void FigureSumFinal(sqlite3_context* context)
{
    const auto* sum = static_cast<const __int128*>(sqlite3_aggregate_context(context, 0));
    const __int128 total = sum ? *sum : 0;
    sqlite3_result_int64(context,
        static_cast<int64_t>(std::clamp<__int128>(
            total, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max())));
}

bool IsDamageCode(int rc)
{
    const int primary = rc & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

} // namespace

std::string DamagedStatsMessage(const std::string& path, const StatsOpenReport& report)
{
    return path + " is damaged (" + report.Problem + "); it was kept as " + report.DamagedCopy
        + " and a new history was started";
}

StatsHistory::~StatsHistory()
{
    Close();
}

void StatsHistory::Close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

Status StatsHistory::Fail(const std::string& what) const
{
    return Status::Fail(m_path + ": " + what + ": " + (m_db ? sqlite3_errmsg(m_db) : "not open"));
}

Status StatsHistory::Exec(const char* sql) const
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errmsg(m_db);
        sqlite3_free(message);
        return Status::Fail(m_path + ": " + text);
    }
    return Status::Ok();
}

Status StatsHistory::Open(const std::string& folder, StatsOpenReport* report)
{
    return OpenFile(JoinPath(folder, kStatsFile), report);
}

Status StatsHistory::OpenFile(const std::string& path, StatsOpenReport* report)
{
    Close();
    m_path = path;
    if (report)
        *report = StatsOpenReport {};
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (Status made = MakeOwnerOnly(path); !made)
            return made;
        const int rc = sqlite3_open_v2(
            path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK
            || sqlite3_create_function_v2(m_db, "figure_sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                   nullptr, FigureSumStep, FigureSumFinal, nullptr)
                != SQLITE_OK) {
            Status failed = Fail("cannot open the history");
            Close();
            return failed;
        }
        sqlite3_busy_timeout(m_db, 5000);
        // Until the check below passes, closing must not touch the file: the
        // last connection's close would otherwise write the -wal file's pages
        // into a damaged database and delete the -wal and -shm files, which
        // then could not be kept aside with it.
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        // The first read of the file shows whether it is a database at all;
        // the quick check then walks its pages.
        int checkRc = SQLITE_OK;
        std::string problem;
        {
            Statement check(m_db, "PRAGMA quick_check");
            if (!check.Ok()) {
                checkRc = sqlite3_errcode(m_db);
                problem = sqlite3_errmsg(m_db);
            } else {
                const int step = check.Step();
                if (step == SQLITE_ROW && check.Ascii(0) != "ok") {
                    checkRc = SQLITE_CORRUPT;
                    problem = check.Ascii(0);
                } else if (step != SQLITE_ROW && step != SQLITE_DONE) {
                    checkRc = step;
                    problem = sqlite3_errmsg(m_db);
                }
            }
        }
        if (checkRc == SQLITE_OK) {
            sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
            break;
        }
        if (!IsDamageCode(checkRc) || attempt > 0) {
            Status failed = Status::Fail(m_path + ": " + problem);
            Close();
            return failed;
        }
        Close();
        std::string copy;
        if (Status kept = KeepDamagedDatabase(path, copy); !kept)
            return kept;
        if (report) {
            report->Damaged = true;
            report->DamagedCopy = copy;
            report->Problem = problem;
        }
    }
    // The version is checked before anything is written, so that a file of a
    // newer program stays as it is.
    if (Status migrated = Migrate(); !migrated) {
        if (report && SchemaVersion() > kStatsSchemaVersion)
            report->NewerSchema = SchemaVersion();
        Close();
        return migrated;
    }
    if (Status wal = Exec("PRAGMA journal_mode=WAL"); !wal) {
        Close();
        return wal;
    }
    return Status::Ok();
}

int StatsHistory::SchemaVersion() const
{
    Statement version(m_db, "PRAGMA user_version");
    return version.Ok() && version.Step() == SQLITE_ROW ? static_cast<int>(version.Int(0)) : -1;
}

Status StatsHistory::Migrate()
{
    const int version = SchemaVersion();
    if (version < 0)
        return Fail("cannot read the schema version");
    if (version > kStatsSchemaVersion)
        return Status::Fail(m_path + " was written by a newer version of the program (schema "
            + std::to_string(version) + "; this one knows up to " + std::to_string(kStatsSchemaVersion)
            + ") and is left as it is");
    if (version == kStatsSchemaVersion)
        return Status::Ok();
    if (Status begun = Exec("BEGIN IMMEDIATE"); !begun)
        return begun;
    for (int step = version; step < kStatsSchemaVersion; ++step) {
        if (Status applied = Exec(kMigrations[step]); !applied) {
            Exec("ROLLBACK");
            return applied;
        }
    }
    const std::string setVersion = "PRAGMA user_version=" + std::to_string(kStatsSchemaVersion);
    if (Status set = Exec(setVersion.c_str()); !set) {
        Exec("ROLLBACK");
        return set;
    }
    return Exec("COMMIT");
}

Status StatsHistory::StoreImport(
    const ReportImportResult& result, const StatsImportInfo& info, std::set<std::string>* touched)
{
    if (!m_db)
        return Fail("cannot store the import");
    for (const auto& sum : result.Matched)
        if (sum.Banner->StatsId.empty())
            return Status::Fail("banner [" + sum.Banner->SpaceName + "] has no stable id");
    if (Status begun = Exec("BEGIN IMMEDIATE"); !begun)
        return begun;
    auto rollback = [&](const std::string& what) {
        Status failed = Fail(what);
        Exec("ROLLBACK");
        return failed;
    };
    const std::string source = ToDb(info.Network);
    const std::string time = UtcStamp(info.Time);
    {
        Statement clearStats(m_db, "DELETE FROM stats WHERE source = ?1 AND period = ?2");
        Statement clearImports(m_db, "DELETE FROM imports WHERE network = ?1 AND period = ?2");
        Statement addImport(m_db,
            "INSERT INTO imports (file, network, period, time, matched, unmatched) VALUES (?1, ?2, ?3, ?4, ?5, "
            "?6)");
        Statement addStats(m_db,
            "INSERT INTO stats (banner, source, network, period, pv, clicks, revenue) VALUES (?1, ?2, ?3, ?4, ?5, "
            "?6, ?7) ON CONFLICT (source, period, banner) DO UPDATE SET pv = pv + excluded.pv, clicks = clicks + "
            "excluded.clicks, revenue = revenue + excluded.revenue");
        Statement name(m_db, "INSERT OR REPLACE INTO banners (id, name) VALUES (?1, ?2)");
        Statement replaced(m_db, "SELECT DISTINCT banner FROM stats WHERE source = ?1 AND period = ?2");
        if (!clearStats.Ok() || !clearImports.Ok() || !addImport.Ok() || !addStats.Ok() || !name.Ok()
            || !replaced.Ok())
            return rollback("cannot prepare the import");
        for (const auto& period : result.Periods) {
            if (touched) {
                replaced.Bind(1, source).Bind(2, period);
                int rc;
                while ((rc = replaced.Step()) == SQLITE_ROW)
                    touched->insert(replaced.Ascii(0));
                if (rc != SQLITE_DONE)
                    return rollback("cannot read the replaced figures");
                replaced.Reset();
            }
            int64_t matched = 0;
            for (const auto& sum : result.Matched)
                if (sum.Period == period)
                    matched += sum.Rows;
            clearStats.Bind(1, source).Bind(2, period);
            clearImports.Bind(1, source).Bind(2, period);
            addImport.Bind(1, info.File)
                .Bind(2, source)
                .Bind(3, period)
                .Bind(4, time)
                .Bind(5, matched)
                .Bind(6, static_cast<int64_t>(result.UnmatchedRows + result.AmbiguousRows));
            if (clearStats.Step() != SQLITE_DONE || clearImports.Step() != SQLITE_DONE
                || addImport.Step() != SQLITE_DONE)
                return rollback("cannot store the import");
            clearStats.Reset();
            clearImports.Reset();
            addImport.Reset();
        }
        for (const auto& sum : result.Matched) {
            const std::string network
                = ToDb(info.Network.empty() ? BannerNetworkName(*sum.Banner) : std::string_view(info.Network));
            addStats.Bind(1, sum.Banner->StatsId)
                .Bind(2, source)
                .Bind(3, network)
                .Bind(4, sum.Period)
                .Bind(5, sum.PV)
                .Bind(6, sum.Clicks)
                .Bind(7, sum.Revenue);
            name.Bind(1, sum.Banner->StatsId).Bind(2, ToDb(sum.Banner->SpaceName));
            if (touched)
                touched->insert(sum.Banner->StatsId);
            if (addStats.Step() != SQLITE_DONE || name.Step() != SQLITE_DONE)
                return rollback("cannot store the figures");
            addStats.Reset();
            name.Reset();
        }
    }
    if (Status committed = Exec("COMMIT"); !committed) {
        Exec("ROLLBACK");
        return committed;
    }
    return Status::Ok();
}

Status StatsHistory::BannerTotals(std::map<std::string, StatsFigures>& out, std::string_view period) const
{
    out.clear();
    if (!m_db)
        return Fail("cannot read the history");
    Statement query(m_db,
        "SELECT banner, figure_sum(pv), figure_sum(clicks), figure_sum(revenue) FROM stats WHERE ?1 = '' OR "
        "period = ?1 GROUP BY "
        "banner");
    if (!query.Ok())
        return Fail("cannot read the history");
    query.Bind(1, period);
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW)
        out[query.Ascii(0)] = query.Figures(1);
    return rc == SQLITE_DONE ? Status::Ok() : Fail("cannot read the history");
}

Status StatsHistory::NetworkTotals(std::vector<StatsRow>& out, std::string_view period) const
{
    out.clear();
    if (!m_db)
        return Fail("cannot read the history");
    Statement query(m_db,
        "SELECT network, figure_sum(pv), figure_sum(clicks), figure_sum(revenue) FROM stats WHERE ?1 = '' OR "
        "period = ?1 GROUP BY "
        "network ORDER BY network");
    if (!query.Ok())
        return Fail("cannot read the history");
    query.Bind(1, period);
    int rc;
    std::vector<StatsRow> none;
    while ((rc = query.Step()) == SQLITE_ROW) {
        StatsRow row { query.Text(0), query.Figures(1) };
        (row.Label == kNoNetworkName ? none : out).push_back(std::move(row));
    }
    out.insert(out.end(), none.begin(), none.end());
    return rc == SQLITE_DONE ? Status::Ok() : Fail("cannot read the history");
}

Status StatsHistory::MonthTotals(std::vector<StatsRow>& out, std::string_view period) const
{
    out.clear();
    if (!m_db)
        return Fail("cannot read the history");
    Statement query(m_db,
        "SELECT period, figure_sum(pv), figure_sum(clicks), figure_sum(revenue) FROM stats WHERE ?1 = '' OR "
        "period = ?1 GROUP BY "
        "period ORDER BY period");
    if (!query.Ok())
        return Fail("cannot read the history");
    query.Bind(1, period);
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW)
        out.push_back({ query.Ascii(0), query.Figures(1) });
    return rc == SQLITE_DONE ? Status::Ok() : Fail("cannot read the history");
}

Status StatsHistory::BannerHistory(std::string_view bannerId, std::vector<StatsRow>& out) const
{
    out.clear();
    if (!m_db)
        return Fail("cannot read the history");
    Statement query(m_db,
        "SELECT period, figure_sum(pv), figure_sum(clicks), figure_sum(revenue) FROM stats WHERE banner = ?1 "
        "GROUP BY period ORDER BY "
        "period");
    if (!query.Ok())
        return Fail("cannot read the history");
    query.Bind(1, bannerId);
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW)
        out.push_back({ query.Ascii(0), query.Figures(1) });
    return rc == SQLITE_DONE ? Status::Ok() : Fail("cannot read the history");
}

Status StatsHistory::Cells(std::string_view first, std::string_view last, std::vector<StatsCell>& out) const
{
    out.clear();
    if (!m_db)
        return Fail("cannot read the history");
    Statement query(m_db,
        "SELECT banner, network, period, figure_sum(pv), figure_sum(clicks), figure_sum(revenue) FROM stats WHERE "
        "period BETWEEN ?1 "
        "AND ?2 GROUP BY banner, network, period");
    if (!query.Ok())
        return Fail("cannot read the history");
    query.Bind(1, first).Bind(2, last);
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW)
        out.push_back({ query.Ascii(0), query.Text(1), query.Ascii(2), query.Figures(3) });
    return rc == SQLITE_DONE ? Status::Ok() : Fail("cannot read the history");
}

Status StatsHistory::BannerNames(std::map<std::string, std::string>& out) const
{
    out.clear();
    if (!m_db)
        return Fail("cannot read the history");
    Statement query(m_db, "SELECT id, name FROM banners");
    if (!query.Ok())
        return Fail("cannot read the history");
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW)
        out[query.Ascii(0)] = query.Text(1);
    return rc == SQLITE_DONE ? Status::Ok() : Fail("cannot read the history");
}

Status StatsHistory::Imports(std::vector<StatsImportRecord>& out) const
{
    out.clear();
    if (!m_db)
        return Fail("cannot read the history");
    Statement query(m_db, "SELECT file, network, period, time, matched, unmatched FROM imports ORDER BY id");
    if (!query.Ok())
        return Fail("cannot read the history");
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW)
        out.push_back(
            { query.Ascii(0), query.Text(1), query.Ascii(2), query.Ascii(3), query.Int(4), query.Int(5) });
    return rc == SQLITE_DONE ? Status::Ok() : Fail("cannot read the history");
}

Status StatsHistory::LatestPeriod(std::string& out) const
{
    out.clear();
    if (!m_db)
        return Fail("cannot read the history");
    Statement query(m_db, "SELECT MAX(period) FROM stats");
    if (!query.Ok() || query.Step() != SQLITE_ROW)
        return Fail("cannot read the history");
    out = query.Ascii(0);
    return Status::Ok();
}

Status StatsHistory::SaveMapping(std::string_view network, const ReportMapping& mapping)
{
    if (!m_db)
        return Fail("cannot store the mapping");
    if (Status begun = Exec("BEGIN IMMEDIATE"); !begun)
        return begun;
    auto rollback = [&] {
        Status failed = Fail("cannot store the mapping");
        Exec("ROLLBACK");
        return failed;
    };
    const std::string name = ToDb(network);
    {
        Statement save(m_db,
            "INSERT OR REPLACE INTO mappings (network, key, pv, clicks, revenue, month, match) VALUES (?1, ?2, "
            "?3, ?4, ?5, ?6, ?7)");
        Statement clear(m_db, "DELETE FROM assignments WHERE network = ?1");
        Statement assign(m_db, "INSERT INTO assignments (network, key, banner) VALUES (?1, ?2, ?3)");
        if (!save.Ok() || !clear.Ok() || !assign.Ok())
            return rollback();
        save.Bind(1, name)
            .Bind(2, ToDb(mapping.Key))
            .Bind(3, ToDb(mapping.PV))
            .Bind(4, ToDb(mapping.Clicks))
            .Bind(5, ToDb(mapping.Revenue))
            .Bind(6, ToDb(mapping.Month))
            .Bind(7, ReportMatchKey(mapping.Match));
        clear.Bind(1, name);
        if (save.Step() != SQLITE_DONE || clear.Step() != SQLITE_DONE)
            return rollback();
        for (const auto& [key, banner] : mapping.Assigned) {
            if (key.empty() || banner.empty())
                continue;
            assign.Bind(1, name).Bind(2, ToDb(key)).Bind(3, banner);
            if (assign.Step() != SQLITE_DONE)
                return rollback();
            assign.Reset();
        }
    }
    if (Status committed = Exec("COMMIT"); !committed) {
        Exec("ROLLBACK");
        return committed;
    }
    return Status::Ok();
}

Status StatsHistory::LoadMapping(std::string_view network, ReportMapping& mapping, bool& found) const
{
    found = false;
    if (!m_db)
        return Fail("cannot read the mapping");
    Statement load(m_db, "SELECT key, pv, clicks, revenue, month, match FROM mappings WHERE network = ?1");
    Statement assigned(m_db, "SELECT key, banner FROM assignments WHERE network = ?1");
    if (!load.Ok() || !assigned.Ok())
        return Fail("cannot read the mapping");
    load.Bind(1, ToDb(network));
    const int rc = load.Step();
    if (rc == SQLITE_DONE)
        return Status::Ok();
    if (rc != SQLITE_ROW)
        return Fail("cannot read the mapping");
    ReportMapping read;
    read.Key = load.Text(0);
    read.PV = load.Text(1);
    read.Clicks = load.Text(2);
    read.Revenue = load.Text(3);
    read.Month = load.Text(4);
    read.Match = ReportMatchFromKey(load.Ascii(5)).value_or(ReportMatch::Name);
    assigned.Bind(1, ToDb(network));
    int step;
    while ((step = assigned.Step()) == SQLITE_ROW)
        read.Assigned[assigned.Text(0)] = assigned.Ascii(1);
    if (step != SQLITE_DONE)
        return Fail("cannot read the mapping");
    mapping = std::move(read);
    found = true;
    return Status::Ok();
}

std::string NewStatsId()
{
    static std::random_device device;
    static std::mt19937_64 engine((static_cast<uint64_t>(device()) << 32) ^ device());
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(engine()));
    return text;
}

const std::string& EnsureStatsId(TAdBanner& banner)
{
    if (banner.StatsId.empty())
        banner.StatsId = NewStatsId();
    return banner.StatsId;
}

bool AssignStatsIds(BannerList& banners, const ReportImportResult& result)
{
    std::set<const TAdBanner*> matched;
    for (const auto& sum : result.Matched)
        matched.insert(sum.Banner);
    bool assigned = false;
    for (auto& banner : banners.Rows) {
        if (banner->StatsId.empty() && matched.count(banner.get())) {
            banner->StatsId = NewStatsId();
            assigned = true;
        }
    }
    return assigned;
}

void ApplyStatsTotals(
    BannerList& banners, const std::map<std::string, StatsFigures>& totals, const std::set<std::string>* touched)
{
    auto cap = [](int64_t value) {
        return static_cast<int32_t>(
            std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    };
    for (auto& banner : banners.Rows) {
        if (banner->StatsId.empty())
            continue;
        const auto it = totals.find(banner->StatsId);
        if (it == totals.end() && !(touched && touched->count(banner->StatsId)))
            continue;
        const StatsFigures figures = it == totals.end() ? StatsFigures {} : it->second;
        banner->PV = cap(figures.PV);
        banner->CT = cap(figures.Clicks);
        banner->TotalRevenue = cap(figures.Revenue);
        banner->ClickRate = ComputeClickRate(banner->PV, banner->CT);
    }
}

} // namespace pw
