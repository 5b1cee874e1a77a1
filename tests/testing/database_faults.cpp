#include "tests/testing/database_faults.h"

#include <signal.h>

#include "tests/testing/testing.h"

namespace kr::testing {

void DatabaseFaults::FailAt(int64_t n, int error, unsigned ops, bool sticky) {
  n_ = n;
  error_ = error;
  ops_ = ops;
  sticky_ = sticky;
  count_ = 0;
  fired_ = false;
  first_failed_.clear();
}

void DatabaseFaults::Step(Op op, std::string_view what) {
  if ((ops_ & op) == 0) return;
  ++count_;
  if (n_ == 0 || count_ < n_ || (count_ > n_ && !sticky_)) return;
  if (!fired_) first_failed_ = what;
  fired_ = true;
  throw Failure::Runtime(error_, "injected: " + std::string(what));
}

namespace {

class KillingDatabaseEnv : public platform::Env {
 public:
  explicit KillingDatabaseEnv(int n) : n_(n) {}
  std::unique_ptr<platform::DatabaseFile> OpenDatabaseFile(
      std::string_view native_path, const platform::DatabaseFileMode& mode) override {
    std::unique_ptr<platform::DatabaseFile> file = Env::OpenDatabaseFile(native_path, mode);
    paths_[file.get()] = native_path;
    return file;
  }
  void WriteDatabaseFile(platform::DatabaseFile& file, int64_t offset, const void* bytes,
                         size_t size) override {
    if (paths_[&file].ends_with(".mdb") && ++writes_ == n_) raise(SIGKILL);
    Env::WriteDatabaseFile(file, offset, bytes, size);
  }

 private:
  int n_;
  int writes_ = 0;
  std::map<const platform::DatabaseFile*, std::string> paths_;
};

}  // namespace

bool KillAtDatabaseWrite(const std::function<void()>& body, int n) {
  return KilledInChild([&] {
    KillingDatabaseEnv env(n);
    platform::ScopedEnv scoped(env);
    body();
  });
}

}  // namespace kr::testing
