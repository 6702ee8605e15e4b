#include "library/library_indexer.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "analysis/limits.h"
#include "library/flight_figures.h"
#include "library/flight_library.h"
#include "library/sha256.h"

namespace ovixlog {
namespace {

int64_t MtimeNs(const struct stat& info) {
  return static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
         static_cast<int64_t>(info.st_mtim.tv_nsec);
}

// Collects the regular files under `path`: each file once (by device and inode), each folder
// entered once, so a symlink loop ends.
void Collect(const std::string& path, const std::string& database,
             std::set<std::pair<dev_t, ino_t>>& seen, std::vector<std::string>& files,
             std::vector<std::string>& problems) {
  // The library's own files are not flight logs.
  if (path == database || path == database + "-wal" || path == database + "-shm" ||
      path == database + "-journal")
    return;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    problems.push_back(path + ": not read: " + std::strerror(errno));
    return;
  }
  if (!seen.insert({info.st_dev, info.st_ino}).second)
    return;
  if (!S_ISDIR(info.st_mode)) {
    files.push_back(path);
    return;
  }
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) {
    problems.push_back(path + ": not read: " + std::strerror(errno));
    return;
  }
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  const std::string prefix = path.back() == '/' ? path : path + "/";
  for (const std::string& name : names)
    Collect(prefix + name, database, seen, files, problems);
}

// What a worker found in one file.
struct FileWork {
  std::string path;
  bool skipped = false;  // size and time as stored: not read again
  FileIdentity identity;
  FileSamples read;
  std::string model;
  std::vector<IndexedRun> runs;
};

void Analyse(FileWork& work, std::optional<EngineModel> model, const Limits& limits,
             const SampleReader& reader) {
  const std::optional<std::string> sha = FileSha256(work.path);
  if (!sha) {
    work.read.why = std::strerror(errno);
    return;
  }
  work.identity.sha256 = *sha;
  work.read = reader(work.path, model);
  if (!work.read.read)
    return;
  work.model = std::to_string(ModelNumber(work.read.model));
  const std::vector<ClockMark>& clocks = work.read.clocks;
  for (RunFigures& run : AnalyseFile(work.read.samples, work.read.model, limits)) {
    IndexedRun indexed{run.startMs, std::nullopt, std::nullopt, std::move(run.json)};
    const WallClockAnchor* clock = ClockAt(clocks, run.firstSample);
    if (clock != nullptr && run.firstSample < work.read.samples.size()) {
      const RunStart start = StartBy(*clock, work.read.samples[run.firstSample].tickMs);
      indexed.start = start.local;
      indexed.startUtcMs = start.utcMs;
    }
    work.runs.push_back(std::move(indexed));
  }
  work.read.samples = {};  // the figures are all that is kept
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    std::string name = resolved;
    std::free(resolved);
    return name;
  }
  if (!path.empty() && path[0] == '/')
    return path;
  std::vector<char> cwd(4096);
  if (::getcwd(cwd.data(), cwd.size()) == nullptr)
    return path;
  return std::string(cwd.data()) + "/" + path;
}

std::string TotalsLine(const IndexTotals& totals) {
  return std::to_string(totals.files) + (totals.files == 1 ? " file: " : " files: ") +
         std::to_string(totals.added) + " flights added, " + std::to_string(totals.unchanged) +
         " unchanged, " + std::to_string(totals.duplicates) + " duplicates, " +
         std::to_string(totals.unread) + " not read";
}

IndexTotals IndexFiles(FlightLibrary& library, const IndexRequest& request,
                       const SampleReader& reader,
                       const std::function<void(const std::string&)>& line,
                       const std::function<void(size_t done, size_t total)>& progress) {
  IndexTotals totals;
  std::string error;
  const std::optional<Limits> limits = Limits::Load(Limits::DefaultPath(), false, error);
  if (!limits) {
    totals.error = error;
    return totals;
  }
  std::set<std::pair<dev_t, ino_t>> seen;
  std::vector<std::string> files;
  std::vector<std::string> problems;
  const std::string database = AbsolutePath(library.path());
  for (const std::string& root : request.roots)
    Collect(AbsolutePath(root), database, seen, files, problems);
  for (const std::string& problem : problems)
    line(problem);
  totals.files = files.size();
  totals.missing = static_cast<int>(problems.size());
  totals.unread = totals.missing;

  // Files whose size and time are as stored are taken as unchanged without reading them.
  std::vector<FileWork> work(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    work[i].path = files[i];
    struct stat info {};
    if (::stat(files[i].c_str(), &info) != 0)
      continue;
    work[i].identity = {files[i], "", static_cast<int64_t>(info.st_size), MtimeNs(info)};
    const std::optional<LibraryFile> known = library.FindFile(files[i]);
    work[i].skipped = known && !request.aircraft &&
                      known->identity.size == work[i].identity.size &&
                      known->identity.mtimeNs == work[i].identity.mtimeNs;
  }

  // Workers read and analyse; this thread alone writes the database, file by file in order.
  // `ready`, `next` and `stop` are guarded by `lock`; a worker owns work[i] from taking i until
  // it sets ready[i].
  std::mutex lock;
  std::condition_variable readyChanged;
  std::vector<char> ready(work.size(), 0);
  size_t next = 0;
  bool stop = false;
  auto worker = [&] {
    for (;;) {
      size_t i = 0;
      {
        std::lock_guard<std::mutex> guard(lock);
        if (stop || next >= work.size())
          return;
        i = next++;
      }
      if (!work[i].skipped)
        Analyse(work[i], request.model, *limits, reader);
      {
        std::lock_guard<std::mutex> guard(lock);
        ready[i] = 1;
      }
      readyChanged.notify_all();
    }
  };
  const unsigned cores = request.threads != 0 ? request.threads
                                              : std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < std::min<size_t>(cores, work.size()); ++t)
    pool.emplace_back(worker);

  for (size_t i = 0; i < work.size(); ++i) {
    {
      std::unique_lock<std::mutex> guard(lock);
      readyChanged.wait(guard, [&] { return ready[i] != 0; });
    }
    FileWork& w = work[i];
    std::string text = w.path + ": ";
    if (w.skipped) {
      text += "unchanged";
      ++totals.unchanged;
    } else if (!w.read.read) {
      text += "not a flight log: " + w.read.why;
      ++totals.unread;
    } else {
      IndexResult result;
      if (!library.StoreFile(w.identity, w.model, request.aircraft, w.runs, result, error,
                             w.read.aircraft)) {
        totals.error = error;
        {
          std::lock_guard<std::mutex> guard(lock);
          stop = true;
        }
        break;
      }
      if (result.outcome == IndexOutcome::kMoved) {
        text += "moved from " + result.duplicateOf;
        ++totals.unchanged;
      } else if (result.outcome == IndexOutcome::kDuplicate) {
        text += "duplicate of " + result.duplicateOf;
        ++totals.duplicates;
      } else if (result.outcome == IndexOutcome::kUnchanged) {
        text += "unchanged";
        ++totals.unchanged;
      } else {
        text += "added " + std::to_string(result.flights) +
                (result.flights == 1 ? " flight" : " flights");
        totals.added += result.flights;
      }
    }
    line(text);
    if (progress)
      progress(i + 1, work.size());
  }
  for (std::thread& t : pool)
    t.join();
  return totals;
}

}  // namespace ovixlog
