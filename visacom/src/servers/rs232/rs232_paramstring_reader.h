#pragma once
// rs232_paramstring_reader: the serial session's option strings. Applies the items that the
// base reads, in string order, through the session's own SetAttribute (as a client would call
// it), and renders the session's current settings back into an option string.
#include <string>

#include "params/enum_table.h"
#include "params/paramstring_reader.h"

namespace mrv {

class CRS232Svr;

class rs232_paramstring_reader : public paramstring_reader {
public:
    explicit rs232_paramstring_reader(CRS232Svr& session);

    // Replaces `out` with the session's settings as an option string, read through its
    // public getters: "Timeout = 2000 ; SendEndEnabled = TRUE ; ... ; XOFFCharacter = 19".
    virtual void render(std::string& out);

protected:
    void apply(const param_items& items) override;

private:
    // One item: its attribute and value looked up, then SetAttribute; a refusal raises.
    void apply_item(const param_item& item);

    CRS232Svr* session_;
    enum_table keys_;   // upper-case key -> VISA attribute
    enum_table names_;  // upper-case enumeration name -> value, shared by all keys
};

}  // namespace mrv
