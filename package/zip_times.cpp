#include "package/zip_times.h"

namespace vellum::zip {
namespace {

constexpr FileTime kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;
constexpr int64_t kDaysFrom1601To1970 = 134'774;
constexpr uint16_t kNtfsTimesTag = 1;

bool IsLeapYear(unsigned year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

unsigned DaysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a date of the Gregorian calendar, counting years
// from March so that the leap day comes last.
int64_t DaysSince1970(unsigned year, unsigned month, unsigned day) {
  if (month <= 2) --year;
  const unsigned era = year / 400, yearOfEra = year % 400;
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return static_cast<int64_t>(era) * 146'097 + dayOfEra - 719'468;
}

struct Times {
  FileTime mtime = 0, atime = 0, ctime = 0;
};

// NTFS field: 4 reserved bytes, then tagged attributes laid out like extra
// fields; tag 1 holds mtime, atime and ctime as FILETIMEs.
bool ReadNtfsTimes(const uint8_t* data, size_t size, Times& times) {
  if (size < 4) return false;
  bool found = false;
  ForEachExtraField(data + 4, size - 4, [&](uint16_t tag, const uint8_t* value, size_t length) {
    if (tag != kNtfsTimesTag || length < 24 || found) return;
    times = {LoadLe64(value), LoadLe64(value + 8), LoadLe64(value + 16)};
    found = true;
  });
  return found;
}

// Unix timestamp field: a flags byte (bit 0 mtime, 1 atime, 2 ctime), then
// the flagged times as signed 32-bit seconds; the central record may carry
// fewer times than its flags name.
bool ReadUnixTimes(const uint8_t* data, size_t size, Times& times) {
  if (size < 5 || !(data[0] & 1)) return false;
  FileTime* const slots[3] = {&times.mtime, &times.atime, &times.ctime};
  size_t at = 1;
  for (int bit = 0; bit < 3 && size - at >= 4; ++bit) {
    if (!(data[0] & (1 << bit))) continue;
    *slots[bit] = UnixToFileTime(static_cast<int32_t>(LoadLe32(data + at)));
    at += 4;
  }
  return true;
}

}  // namespace

FileTime DosToFileTime(uint16_t date, uint16_t time) {
  const unsigned year = 1980 + (date >> 9), month = (date >> 5) & 15, day = date & 31;
  const unsigned hour = time >> 11, minute = (time >> 5) & 63, second = (time & 31) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return 0;
  }
  const int64_t days = DaysSince1970(year, month, day) + kDaysFrom1601To1970;
  return static_cast<FileTime>(((days * 24 + hour) * 60 + minute) * 60 + second) * kTicksPerSecond;
}

FileTime UnixToFileTime(int64_t seconds) {
  return static_cast<FileTime>(seconds + kSecondsFrom1601To1970) * kTicksPerSecond;
}

void SetEntryTimes(ElementStat& stat, const CentralHeader& header, const uint8_t* extra,
                   const LocalToUtc& localToUtc) {
  Times ntfs, unixTimes;
  bool hasNtfs = false, hasUnix = false;
  ForEachExtraField(extra, header.extraLength, [&](uint16_t id, const uint8_t* data, size_t size) {
    if (id == kExtraNtfs && !hasNtfs) hasNtfs = ReadNtfsTimes(data, size, ntfs);
    if (id == kExtraUnixTime && !hasUnix) hasUnix = ReadUnixTimes(data, size, unixTimes);
  });
  Times times = hasNtfs ? ntfs : unixTimes;
  if (!hasNtfs && !hasUnix) {
    const FileTime local = DosToFileTime(header.dosDate, header.dosTime);
    times.mtime = local && localToUtc ? localToUtc(local) : local;
  }
  stat.mtime = times.mtime;
  stat.atime = times.atime ? times.atime : times.mtime;
  stat.ctime = times.ctime ? times.ctime : times.mtime;
}

}  // namespace vellum::zip
