#pragma once
// What the driver tests share: where the build's VISA libraries are, which of them the loader
// can find, and the simulation library's control exports (call log, fault injection).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "errors/visa_error.h"
#include "simvisa_control.h"

namespace driver_test {

// A file of the build's bin folder (MRV_BIN_DIR is its Windows name).
inline std::string bin_file(const std::string& relative)
{
    return std::string(MRV_BIN_DIR) + "/" + relative;
}

inline std::string module_path(HMODULE module)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

inline std::string base_name(const std::string& path)
{
    return path.substr(path.find_last_of("\\/") + 1);
}

// The status of the visa_error that `call` raises; 0 (with a failure) when it raises none.
template <class Call>
ViStatus raised_status(Call&& call)
{
    try {
        call();
    } catch (const mrv::visa_error& e) {
        return e.status();
    }
    ADD_FAILURE() << "no visa_error";
    return 0;
}

// The test executable sits in a folder of its own: no VISA library is found there unless a test
// puts one there. This makes the bin folder (visa32.dll, the simulation library) findable.
class standard_library_findable {
public:
    standard_library_findable() { SetDllDirectoryA(MRV_BIN_DIR); }
    ~standard_library_findable() { SetDllDirectoryA(nullptr); }
};

// A library copied next to the test executable under `name` for the life of this object.
class library_next_to_test {
public:
    library_next_to_test(const std::string& source, const char* name) : path_(module_path(nullptr))
    {
        path_ = path_.substr(0, path_.find_last_of("\\/") + 1) + name;
        EXPECT_TRUE(CopyFileA(source.c_str(), path_.c_str(), FALSE))
            << source << " -> " << path_ << ": error " << GetLastError();
    }
    ~library_next_to_test() { DeleteFileA(path_.c_str()); }

private:
    std::string path_;
};

// The control exports of the simulation library that a driver loaded.
class simulation_control {
public:
    explicit simulation_control(HMODULE library)
        : log_text_(get<simvisa_log_text_fn>(library, "simvisa_log_text")),
          log_clear_(get<simvisa_log_clear_fn>(library, "simvisa_log_clear")),
          fail_next_(get<simvisa_fail_next_fn>(library, "simvisa_fail_next")),
          clear_faults_(get<simvisa_clear_faults_fn>(library, "simvisa_clear_faults")),
          open_objects_(get<simvisa_open_objects_fn>(library, "simvisa_open_objects"))
    {}
    ~simulation_control()
    {
        if (clear_faults_)
            clear_faults_();
    }

    std::string log() const
    {
        if (!log_text_)
            return {};
        std::string text(log_text_(nullptr, 0), '\0');
        log_text_(text.data(), static_cast<ViUInt32>(text.size()));
        text.resize(text.size() - 1);
        return text;
    }
    void clear_log() const
    {
        if (log_clear_)
            log_clear_();
    }
    // VISA objects open in the process (sessions, resource managers, find lists, events).
    ViUInt32 open_objects() const { return open_objects_ ? open_objects_() : 0; }
    // The next `count` calls of `function` answer `status`.
    void fail_next(const char* function, ViStatus status, ViUInt32 count = 1) const
    {
        ASSERT_TRUE(fail_next_);
        fail_next_(function, status, count);
    }

private:
    template <class F>
    static F get(HMODULE library, const char* name)
    {
        auto f = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
        EXPECT_NE(nullptr, f) << name;
        return f;
    }

    simvisa_log_text_fn log_text_;
    simvisa_log_clear_fn log_clear_;
    simvisa_fail_next_fn fail_next_;
    simvisa_clear_faults_fn clear_faults_;
    simvisa_open_objects_fn open_objects_;
};

}  // namespace driver_test
