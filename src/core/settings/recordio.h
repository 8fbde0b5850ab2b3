#pragma once

// Records to and from a section of a settings store, both directions from one
// list. A record's fields are listed once, in a function template
//
//     template <class Io, class Record> void VisitThing(Io& io, Record& thing)
//     {
//         io.Text("Name", thing.Name, kDefaultName);
//         io.Number("Width", thing.Width, 100);
//     }
//
// that names each key with its member and what a missing key reads as.
// ReadRecord runs it with a SectionReader (Record is the record), WriteRecord
// with a SectionWriter (Record is const), so no key can be read without being
// written or the other way round. The list is in writing order: a key written
// for the first time goes below its section's header, so the order is part of
// the file's bytes.

#include "settings/inilist.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pw {

class SectionReader {
public:
    static constexpr bool kReading = true;

    SectionReader(const TIniList& store, std::string section)
        : m_store(store)
        , m_section(std::move(section))
    {
    }

    // A missing or empty value reads as `def`.
    void Text(std::string_view key, std::string& value, std::string_view def = {})
    {
        value = m_store.ReadString(m_section, key, def);
    }
    // A missing, empty or malformed value reads as `def`.
    void Number(std::string_view key, int& value, int def) { value = m_store.ReadInteger(m_section, key, def); }
    // A default that follows from fields listed later: the key is read once
    // every other field is, in the order of such keys.
    void Number(std::string_view key, int& value, std::function<int()> later)
    {
        m_later.push_back([this, key = std::string(key), &value, later = std::move(later)] {
            value = m_store.ReadInteger(m_section, key, later());
        });
    }
    // "1" or "0"; anything else reads as `def`.
    void Flag(std::string_view key, bool& value, bool def) { value = m_store.ReadBool(m_section, key, def); }
    // A value stored as a word: `fromKey` turns the stored word (or `def`) into it.
    template <class Value, class ToKey, class FromKey>
    void Word(std::string_view key, Value& value, std::string_view def, ToKey, FromKey fromKey)
    {
        value = fromKey(m_store.ReadString(m_section, key, def));
    }
    // Optional keys read as the others do; the difference is in writing.
    void OptionalText(std::string_view key, std::string& value) { Text(key, value); }
    void OptionalFlag(std::string_view key, bool& value, bool def) { Flag(key, value, def); }
    template <class Value, class ToKey, class FromKey>
    void OptionalWord(std::string_view key, Value& value, std::string_view def, ToKey toKey, FromKey fromKey)
    {
        Word(key, value, def, toKey, fromKey);
    }
    // A list under a count key: `make()` gives a new element, `visit(element,
    // n)` lists the fields of the n-th (from 1). The count is capped as
    // CappedCount does.
    template <class List, class Make, class Visit>
    void Items(std::string_view countKey, List& list, Make make, Visit visit)
    {
        const int count = CappedCount(m_store, m_store.ReadInteger(m_section, countKey, 0));
        for (int n = 1; n <= count; ++n) {
            auto item = make();
            visit(item, static_cast<size_t>(n));
            list.push_back(std::move(item));
        }
    }

    // Reads the keys whose defaults follow from other fields.
    void Finish()
    {
        for (const auto& read : m_later)
            read();
        m_later.clear();
    }

private:
    const TIniList& m_store;
    std::string m_section;
    std::vector<std::function<void()>> m_later;
};

class SectionWriter {
public:
    static constexpr bool kReading = false;

    SectionWriter(TIniList& store, std::string section)
        : m_store(store)
        , m_section(std::move(section))
    {
    }

    void Text(std::string_view key, const std::string& value, std::string_view = {})
    {
        m_store.WriteString(m_section, key, value);
    }
    void Number(std::string_view key, int value, int = 0) { m_store.WriteInteger(m_section, key, value); }
    void Number(std::string_view key, int value, const std::function<int()>&) { Number(key, value); }
    void Flag(std::string_view key, bool value, bool) { m_store.WriteBool(m_section, key, value); }
    template <class Value, class ToKey, class FromKey>
    void Word(std::string_view key, const Value& value, std::string_view, ToKey toKey, FromKey)
    {
        m_store.WriteString(m_section, key, toKey(value));
    }
    // Written when it holds something, or to clear a value the file holds.
    void OptionalText(std::string_view key, const std::string& value)
    {
        if (!value.empty() || Holds(key))
            Text(key, value);
    }
    // Written when it is not the default, or to replace a value the file holds.
    void OptionalFlag(std::string_view key, bool value, bool def)
    {
        if (value != def || Holds(key))
            Flag(key, value, def);
    }
    // Written when it is not what the default word reads as, or to replace a
    // word the file holds.
    template <class Value, class ToKey, class FromKey>
    void OptionalWord(std::string_view key, const Value& value, std::string_view def, ToKey toKey, FromKey fromKey)
    {
        if (!(value == fromKey(def)) || Holds(key))
            Word(key, value, def, toKey, fromKey);
    }
    template <class List, class Make, class Visit>
    void Items(std::string_view countKey, const List& list, Make, Visit visit)
    {
        Number(countKey, static_cast<int>(list.size()));
        for (size_t n = 1; n <= list.size(); ++n)
            visit(list[n - 1], n);
    }

    void Finish() { }

private:
    bool Holds(std::string_view key) const { return !m_store.ReadString(m_section, key, "").empty(); }

    TIniList& m_store;
    std::string m_section;
};

// Loads `record` from `section` with the field list `visit(io, record)`.
template <class Record, class Visit>
void ReadRecord(const TIniList& store, std::string section, Record& record, Visit visit)
{
    SectionReader reader(store, std::move(section));
    visit(reader, record);
    reader.Finish();
}

// Writes `record` into `section` with the same field list.
template <class Record, class Visit>
void WriteRecord(TIniList& store, std::string section, const Record& record, Visit visit)
{
    SectionWriter writer(store, std::move(section));
    visit(writer, record);
}

} // namespace pw
