#include "objects.h"

#include <algorithm>
#include <unordered_map>

namespace simvisa {
namespace {

struct object_table {
    std::mutex m;
    std::unordered_map<ViObject, std::shared_ptr<object>> objects;
    ViObject next = 1;
};

object_table& table()
{
    static object_table t;
    return t;
}

}  // namespace

ViObject add_object(std::shared_ptr<object> obj)
{
    auto& t = table();
    std::lock_guard lock(t.m);
    // Handles are never 0 (VI_NULL) and not reused while the old one is still open.
    while (t.next == 0 || t.objects.count(t.next))
        ++t.next;
    obj->id = t.next++;
    t.objects.emplace(obj->id, std::move(obj));
    return t.next - 1;
}

std::shared_ptr<object> find_object(ViObject id)
{
    auto& t = table();
    std::lock_guard lock(t.m);
    auto it = t.objects.find(id);
    return it == t.objects.end() ? nullptr : it->second;
}

std::shared_ptr<object> take_object(ViObject id)
{
    auto& t = table();
    std::lock_guard lock(t.m);
    auto it = t.objects.find(id);
    if (it == t.objects.end())
        return nullptr;
    auto obj = std::move(it->second);
    t.objects.erase(it);
    return obj;
}

size_t object_count()
{
    auto& t = table();
    std::lock_guard lock(t.m);
    return t.objects.size();
}

std::vector<ViObject> find_objects(bool (*keep)(const object&, const void*), const void* arg)
{
    auto& t = table();
    std::vector<ViObject> out;
    {
        std::lock_guard lock(t.m);
        for (const auto& [id, obj] : t.objects)
            if (keep(*obj, arg))
                out.push_back(id);
    }
    std::sort(out.begin(), out.end());  // handles grow with every open
    return out;
}

std::vector<ViObject> contexts_of(ViSession session)
{
    return find_objects(
        [](const object& obj, const void* arg) {
            auto* c = dynamic_cast<const event_context*>(&obj);
            return c && !c->for_handler && c->session == *static_cast<const ViSession*>(arg);
        },
        &session);
}

}  // namespace simvisa
