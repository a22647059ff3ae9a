#include "driver/visa_driver.h"

#include <stdexcept>
#include <string_view>
#include <utility>

#include "com/unique_any.h"
#include "errors/resource_string.h"
#include "errors/visa_error.h"
#include "errors/win32_error.h"
#include "resources/string_ids.h"

namespace mrv {
namespace {

constexpr ViUInt32 description_length = 256;

// Serial ports whose library does not know these three characters accept settings of them.
bool tolerates_unsupported(ViAttr attribute) noexcept
{
    return attribute == VI_ATTR_ASRL_REPLACE_CHAR || attribute == VI_ATTR_ASRL_XON_CHAR ||
           attribute == VI_ATTR_ASRL_XOFF_CHAR;
}

}  // namespace

template <class Call>
ViStatus visa_driver::guarded(Call&& call)
{
    try {
        return call();
    } catch (const visa_error&) {
        throw;
    } catch (...) {
        throw visa_error(-1, *this);
    }
}

visa_driver::~visa_driver()
{
    try {
        if (opened_)
            close();
        if (default_rm_)
            visa::process_viClose(std::exchange(default_rm_, 0));
        if (library_)
            FreeLibrary(std::exchange(library_, nullptr));
    } catch (...) {
        // A teardown step that fails ends the teardown; nothing leaves a destructor.
    }
}

bool visa_driver::load_library(const char* path) noexcept
{
    try {
        if (path) {
            load_file(path);
            return true;
        }
        try {
            load_file("mvvisa32.dll");
            return true;
        } catch (const win32_error&) {
            // Not there, or lacking a required entry: the standard library is the next choice.
        }
        load_file("visa32.dll");
        return true;
    } catch (...) {
        return false;
    }
}

// A library that loads but lacks a required entry is unloaded again at once; nothing of its
// resolution has been put in place by then, so no entry is left pointing into it.
void visa_driver::load_file(const char* file)
{
    unique_hmodule module{LoadLibraryA(file)};
    if (!module)
        throw win32_error(GetLastError());
    const auto resolved = visa::resolve_entries(module.get());
    visa::publish(resolved, entries_);
    install_library_status_description();
    if (library_)
        FreeLibrary(library_);
    library_ = module.release();
}

void visa_driver::open_default_rm()
{
    if (opened_)
        throw std::logic_error("Session already open");
    try {
        ensure_default_rm();
    } catch (...) {
        // Opening the resource manager alone is best effort; open() reports its failure.
    }
}

void visa_driver::ensure_default_rm()
{
    if (default_rm_)
        return;
    ViSession rm = 0;
    check(entries_.get<visa::entry::viOpenDefaultRM>()(&rm));
    default_rm_ = rm;
}

ViStatus visa_driver::open(ViConstRsrc name, ViAccessMode mode, ViUInt32 open_timeout,
                           ViStatus* out_status)
{
    if (opened_)
        throw std::logic_error("Session already open");
    return guarded([&] {
        ensure_default_rm();
        ViSession opened = 0;
        const ViStatus status =
            check_through(default_rm_, entries_.get<visa::entry::viOpen>()(default_rm_, name, mode,
                                                                           open_timeout, &opened));
        session_ = opened;
        if (out_status)
            *out_status = status;
        opened_ = true;
        return status;
    });
}

ViStatus visa_driver::find_resources(ViConstString expr, ViFindList* find_list, ViUInt32* count,
                                     ViChar description[])
{
    return guarded([&] {
        ensure_default_rm();
        return check_through(default_rm_, entries_.get<visa::entry::viFindRsrc>()(
                                              default_rm_, expr, find_list, count, description));
    });
}

ViStatus visa_driver::find_next(ViFindList find_list, ViChar description[])
{
    return guarded([&] {
        return check_through(default_rm_,
                             entries_.get<visa::entry::viFindNext>()(find_list, description));
    });
}

ViStatus visa_driver::parse_resource(_bstr_t name, ViUInt16* intf_type, ViUInt16* intf_num)
{
    return guarded([&] {
        return check_through(default_rm_, entries_.get<visa::entry::viParseRsrc>()(
                                              default_rm_, name.narrow(), intf_type, intf_num));
    });
}

ViStatus visa_driver::parse_resource_ex(_bstr_t name, ViUInt16* intf_type, ViUInt16* intf_num,
                                        _bstr_t& resource_class, _bstr_t& expanded_name,
                                        _bstr_t& alias)
{
    return guarded([&] {
        ViChar class_text[description_length] = {};
        ViChar expanded_text[description_length] = {};
        ViChar alias_text[description_length] = {};
        const ViStatus status =
            check_through(default_rm_, entries_.get<visa::entry::viParseRsrcEx>()(
                                           default_rm_, name.narrow(), intf_type, intf_num,
                                           class_text, expanded_text, alias_text));
        resource_class = _bstr_t(class_text);
        expanded_name = _bstr_t(expanded_text);
        alias = _bstr_t(alias_text);
        return status;
    });
}

ViStatus visa_driver::close()
{
    if (!opened_)
        throw std::logic_error("No session open.");
    // Closed before VISA is asked, so that a failing close still leaves the driver closed.
    opened_ = false;
    closed_ = true;
    check(visa::process_viClose(std::exchange(session_, 0)));
    return check(visa::process_viClose(std::exchange(default_rm_, 0)));
}

ViStatus visa_driver::set_attribute(ViAttr attribute, ViAttrState value)
{
    const ViStatus status = visa::process_viSetAttribute(session_, attribute, value);
    if (status == VI_ERROR_NSUP_ATTR && tolerates_unsupported(attribute))
        return VI_SUCCESS;
    return check(status);
}

ViStatus visa_driver::get_attribute(ViAttr attribute, void* value)
{
    const ViStatus status = visa::process_viGetAttribute(session_, attribute, value);
    if (status != VI_SUCCESS)
        throw visa_error(status, *this);
    return status;
}

void visa_driver::status_description(ViStatus status, ViChar description[])
{
    if (!opened_) {
        // Before the open succeeded (and once close has begun) there is no session to ask.
        resource_string open_failed(IDS_OPEN_FAILED);
        const std::string_view text = open_failed.text();
        const auto length = text.copy(description, description_length - 1);
        description[length] = '\0';
        return;
    }
    const ViStatus result = visa::process_viStatusDesc(session_, status, description);
    if (result < 0)
        throw visa_error(result, *this);
}

ViStatus visa_driver::check(ViStatus status)
{
    if (status < 0)
        throw visa_error(status, *this);
    return status;
}

ViStatus visa_driver::check_through(ViSession through, ViStatus status)
{
    if (status < 0)
        throw visa_error(status, through);
    return status;
}

}  // namespace mrv
