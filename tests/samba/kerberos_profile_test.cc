// The Kerberos profile layered over the system's, each case in a child process of its own, since
// a process layers it once and keeps it.
#include "platform/samba/kerberos_profile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct ProfileCase {
  const char* given;     // KRB5_CONFIG before, or nullptr for none
  bool descriptors;      // false: the process may open no file at all
  const char* expected;  // KRB5_CONFIG after, where "PROFILE" stands for the profile's path
};

// Layers the profile twice and exits 0 when KRB5_CONFIG is as expected and its first file, where
// it names the profile, is readable and bounds each KDC try to a second.
[[noreturn]] void layerTwiceAndCheck(const ProfileCase& c) {
  if (c.given != nullptr)
    ::setenv("KRB5_CONFIG", c.given, 1);
  else
    ::unsetenv("KRB5_CONFIG");
  if (!c.descriptors) {
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_NOFILE, &none);
  }
  cairnLayerKerberosProfile();
  const char* const once = std::getenv("KRB5_CONFIG");
  const std::string layered = once != nullptr ? once : "(none)";
  cairnLayerKerberosProfile();
  std::string expected = c.expected;
  std::stringstream profile;
  if (const auto at = expected.find("PROFILE"); at != std::string::npos) {
    const std::string path = layered.substr(0, layered.find(':'));
    if (path.starts_with("/proc/self/fd/")) expected.replace(at, 7, path);
    profile << std::ifstream(path).rdbuf();
  }
  const bool bounded = profile.str().find("kdc_timeout = 1\n") != std::string::npos;
  const char* const twice = std::getenv("KRB5_CONFIG");
  const bool good =
      layered == expected && twice != nullptr && twice == layered && bounded == c.descriptors;
  if (!good) std::fprintf(stderr, "KRB5_CONFIG=%s\n%s", layered.c_str(), profile.str().c_str());
  ::_exit(good ? 0 : 1);
}

TEST(KerberosProfileTest, GoesBeforeTheFilesReadOtherwise) {
  for (const ProfileCase& c : std::initializer_list<ProfileCase>{
           {nullptr, true, "PROFILE:~/.krb5/config:/etc/krb5.conf"},
           {"", true, "PROFILE:~/.krb5/config:/etc/krb5.conf"},
           {"/etc/lab/krb5.conf:/etc/krb5.conf", true, "PROFILE:/etc/lab/krb5.conf:/etc/krb5.conf"},
           {"/etc/lab/krb5.conf", false, "/etc/lab/krb5.conf"},
       })
    EXPECT_EXIT(layerTwiceAndCheck(c), testing::ExitedWithCode(0), "") << c.expected;
}

}  // namespace
