#include "params/paramstring_errors.h"

#include "errors/loc_com_error.h"
#include "errors/resource_string.h"
#include "resources/string_ids.h"

namespace mrv {

void rethrow_as_reader_failure()
{
    try {
        throw;
    } catch (const bad_paramstring&) {
        throw;
    } catch (const loc_com_error&) {
        throw;
    } catch (const bad_enumval& e) {
        throw bad_paramstring(e.what());
    } catch (...) {
        throw bad_paramstring(resource_string(IDS_INTERNAL_ERROR).text());
    }
}

}  // namespace mrv
