#include "core/model/record_io.h"

namespace keelvault {

void writeTaskTime(ByteWriter& w, const TaskTime& t) {
    for (int32_t v : {t.year, t.month, t.day, t.hour, t.minute, t.second, t.day_of_week}) w.i32(v);
}

TaskTime readTaskTime(ByteReader& r) {
    TaskTime t;
    t.year = r.i32();
    t.month = r.i32();
    t.day = r.i32();
    t.hour = r.i32();
    t.minute = r.i32();
    t.second = r.i32();
    t.day_of_week = r.i32();
    return t;
}

void writeServerSettings(ByteWriter& w, const CServerSettings& s, uint8_t key) {
    w.text(s.connection_name, key);
    w.text(s.host, key);
    w.i32(s.port);
    w.text(s.user, key);
    w.text(s.password, key);
    w.text(s.database, key);
    w.text(s.comment, key);
    w.u8(s.save_password);
    w.u8(s.use_compression);
    w.u8(s.use_ssl);
    w.u8(s.reserved2);
}

void readServerSettings(ByteReader& r, CServerSettings& s, uint8_t key, bool with_reserved) {
    s.connection_name = r.text(key);
    s.host = r.text(key);
    s.port = r.i32();
    s.user = r.text(key);
    s.password = r.text(key);
    s.database = r.text(key);
    s.comment = r.text(key);
    s.save_password = r.u8();
    s.use_compression = r.u8();
    s.use_ssl = r.u8();
    if (with_reserved) s.reserved2 = r.u8();
}

}  // namespace keelvault
