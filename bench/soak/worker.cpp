#include "soak/worker.h"

#include <oleauto.h>

#include <cstring>

#include "com/variant.h"

namespace soak {

namespace {

constexpr char kIdentity[] = "SIMVISA,DMM-6500,SN100200,1.02";
constexpr char kVoltage[] = "+1.234560E+00";
constexpr long kTermcharEvent = 0x3FFF2024;  // VI_EVENT_ASRL_TERMCHAR
constexpr long kTimeoutAttribute = 0x3FFF001A;
constexpr long kBaudAttribute = 0x3FFF0021;
constexpr long kTermcharAttribute = 0x3FFF0018;
constexpr long kStrictWaitMs = 3000;

std::string narrow(BSTR text)
{
    std::string s;
    for (const wchar_t* w = text; w && *w; ++w)
        s.push_back(*w < 128 ? static_cast<char>(*w) : '?');
    return s;
}

// The answer without its line end.
std::string answer(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

mrv::safearray bytes(const char* text)
{
    const auto n = static_cast<ULONG>(std::strlen(text));
    mrv::safearray array(SafeArrayCreateVector(VT_UI1, 0, n));
    void* data = nullptr;
    if (array && SUCCEEDED(SafeArrayAccessData(array.get(), &data))) {
        std::memcpy(data, text, n);
        SafeArrayUnaccessData(array.get());
    }
    return array;
}

std::string text_of(SAFEARRAY* array)
{
    std::string text;
    void* data = nullptr;
    if (array && SUCCEEDED(SafeArrayAccessData(array, &data))) {
        text.assign(static_cast<const char*>(data), array->rgsabound[0].cElements);
        SafeArrayUnaccessData(array);
    }
    return text;
}

long as_long(const VARIANT& value)
{
    mrv::variant v;
    // VariantChangeType takes a non-const source but does not change it.
    if (FAILED(VariantChangeType(v.get(), const_cast<VARIANT*>(&value), 0, VT_I4)))
        return -1;
    return V_I4(v.get());
}

}  // namespace

worker::worker(control& ctl, outcomes& out, shared_pool& shared, int index, std::wstring resource,
               unsigned seed)
    : ctl_(ctl), out_(out), shared_(shared), resource_(std::move(resource)),
      self_(ctl.join("worker " + std::to_string(index))), random_(seed), user_handle_(100 + index),
      handler_(counting_handler::make(out, EVENT_SERVICE_REQ, user_handle_, true)),
      thread_([this] { run(); })
{}

worker::~worker()
{
    thread_.join();
}

void worker::run()
{
    com_apartment apartment(COINIT_MULTITHREADED);
    while (ctl_.next_step(
        self_, [this] { let_go(); }, [] { Sleep(20); }))
        step();
    let_go();
    self_.set_parked(true);
}

void worker::step()
{
    struct choice {
        unsigned weight;
        void (worker::*run)();
        const char* name;
    };
    static constexpr choice mix[] = {
        {14, &worker::query, "query"},
        {8, &worker::binary_io, "binary I/O"},
        {6, &worker::serial_settings, "serial settings"},
        {6, &worker::attributes, "attributes"},
        {8, &worker::queued_events, "queued events"},
        {8, &worker::async_query, "asynchronous query"},
        {5, &worker::terminated_job, "terminated job"},
        {5, &worker::free_threaded_handler, "free-threaded handler"},
        {12, &worker::shared_io, "shared I/O"},
        {8, &worker::shared_lock, "shared lock"},
        {8, &worker::shared_wait, "shared wait"},
        {5, &worker::shared_async, "shared asynchronous I/O"},
        {6, &worker::shared_properties, "shared properties"},
        {4, &worker::reopen_own, "reopen private"},
        {2, &worker::reopen_shared, "reopen shared"},
    };
    unsigned total = 0;
    for (const auto& c : mix)
        total += c.weight;
    unsigned pick = random_() % total;
    for (const auto& c : mix) {
        if (pick < c.weight) {
            self_.beat(c.name);
            (this->*c.run)();
            self_.beat();
            return;
        }
        pick -= c.weight;
    }
}

void worker::let_go()
{
    close_own();
}

com_ptr<IVisaSession> worker::own()
{
    if (!own_) {
        own_ = open_session(out_, resource_, &self_);
    }
    return own_;
}

void worker::close_own()
{
    if (own_)
        check(own_->Close(), 0, "Close");
    own_.reset();
    started_jobs_.clear();
    terminated_jobs_.clear();
    handler_installed_ = false;
}

bool worker::spoilt(kind k)
{
    if (k == kind::ok)
        return false;
    close_own();
    return true;
}

// ---- The private session: every answer is known ---------------------------------------------

void worker::query()
{
    auto message = own().as<IMessage>(IID_IMessage);
    if (!message)
        return;
    const auto command = make_bstr(L"*IDN?\n");
    long written = 0;
    if (spoilt(check(message->WriteString(command.get(), &written), 0, "WriteString")))
        return;
    if (written != 6)
        out_.wrong("WriteString reported " + std::to_string(written) + " bytes of 6");
    mrv::bstr text;
    if (spoilt(check(message->ReadString(256, text.put()), 0, "ReadString")))
        return;
    if (answer(narrow(text.get())) != kIdentity)
        out_.wrong("ReadString of *IDN? gave \"" + narrow(text.get()) + "\"");
}

void worker::binary_io()
{
    auto message = own().as<IMessage>(IID_IMessage);
    if (!message)
        return;
    auto command = bytes("MEAS:VOLT:DC?\n");
    SAFEARRAY* array = command.get();
    long written = 0;
    if (spoilt(check(message->Write(&array, 14, &written), 0, "Write")))
        return;
    if (written != 14)
        out_.wrong("Write reported " + std::to_string(written) + " bytes of 14");
    mrv::safearray read;
    if (spoilt(check(message->Read(64, read.put()), 0, "Read")))
        return;
    if (answer(text_of(read.get())) != kVoltage)
        out_.wrong("Read of MEAS:VOLT:DC? gave \"" + text_of(read.get()) + "\"");
}

void worker::serial_settings()
{
    auto serial = own().as<ISerial>(IID_ISerial);
    if (!serial)
        return;
    // Changed and put back: the instrument listens at 9600 8N1.
    SerialParity parity{};
    if (spoilt(check(serial->put_Parity(ASRL_PAR_EVEN), 0, "put_Parity")) ||
        spoilt(check(serial->get_Parity(&parity), 0, "get_Parity")))
        return;
    if (parity != ASRL_PAR_EVEN)
        out_.wrong("Parity read back as " + std::to_string(parity));
    long baud = 0;
    if (spoilt(check(serial->put_BaudRate(19200), 0, "put_BaudRate")) ||
        spoilt(check(serial->get_BaudRate(&baud), 0, "get_BaudRate")))
        return;
    if (baud != 19200)
        out_.wrong("BaudRate read back as " + std::to_string(baud));
    short bits = 0;
    SerialStopBits stop{};
    LineState cts{};
    if (spoilt(check(serial->put_Parity(ASRL_PAR_NONE), 0, "put_Parity")) ||
        spoilt(check(serial->put_BaudRate(9600), 0, "put_BaudRate")) ||
        spoilt(check(serial->get_DataBits(&bits), 0, "get_DataBits")) ||
        spoilt(check(serial->get_StopBits(&stop), 0, "get_StopBits")) ||
        spoilt(check(serial->get_ClearToSendState(&cts), 0, "get_ClearToSendState")))
        return;
    if (bits != 8 || stop != ASRL_STOP_ONE || cts != ASRL_STATE_ASSERTED)
        out_.wrong("the line reads " + std::to_string(bits) + " data bits, stop bits " +
                   std::to_string(stop) + ", CTS " + std::to_string(cts));
}

void worker::attributes()
{
    auto s = own();
    if (!s)
        return;
    mrv::variant timeout;
    V_VT(timeout.get()) = VT_I4;
    V_I4(timeout.get()) = 1500;
    mrv::variant value;
    long property = 0;
    if (spoilt(check(s->SetAttribute(kTimeoutAttribute, *timeout.get()), 0, "SetAttribute")) ||
        spoilt(check(s->GetAttribute(kTimeoutAttribute, value.put()), 0, "GetAttribute")) ||
        spoilt(check(s->get_Timeout(&property), 0, "get_Timeout")))
        return;
    if (as_long(*value.get()) != 1500 || property != 1500)
        out_.wrong("a time-out of 1500 read back as " + std::to_string(as_long(*value.get())) +
                   " and " + std::to_string(property));
    if (spoilt(check(s->put_Timeout(kOpenTimeout), 0, "put_Timeout")) ||
        spoilt(check(s->GetAttribute(kBaudAttribute, value.put()), 0, "GetAttribute")))
        return;
    if (as_long(*value.get()) != 9600)
        out_.wrong("the baud rate attribute reads " + std::to_string(as_long(*value.get())));
    mrv::bstr name;
    if (spoilt(check(s->get_ResourceName(name.put()), 0, "get_ResourceName")))
        return;
    if (narrow(name.get()) != std::string(resource_.begin(), resource_.end()))
        out_.wrong("ResourceName reads " + narrow(name.get()));
}

void worker::queued_events()
{
    auto s = own();
    auto events = s.as<IEventManager>(IID_IEventManager);
    if (!events)
        return;
    const auto type = static_cast<EventType>(kTermcharEvent);
    if (!room_in_queue(events.get()) ||
        spoilt(check(events->EnableEvent(type, EVENT_QUEUE, 0), 0, "EnableEvent(queue)")))
        return;
    query();  // the answer's line feed raises the event
    if (!own_)
        return;
    com_ptr<IEvent> event;
    const bool owed = strict();
    const kind k = check(events->WaitOnEvent(owed ? kStrictWaitMs : 200, type, 0, event.put()),
                         owed ? 0 : only(kind::timeout), "WaitOnEvent(termination character)");
    if (k == kind::ok) {
        out_.event();
        long got = 0;
        if (raised_type(out_, event.get(), got) && got != kTermcharEvent)
            out_.wrong("a wait for termination characters gave type " +
                       hex(static_cast<std::uint32_t>(got)));
        out_.check(event->Close(), 0, "IEvent::Close", false);
    } else if (k != kind::timeout) {
        spoilt(k);
        return;
    }
    if (random_() % 2 &&
        spoilt(check(events->DiscardEvents(type, EVENT_QUEUE, 0), 0, "DiscardEvents")))
        return;
    if (random_() % 4 == 0)
        spoilt(check(events->DisableEvent(type, EVENT_QUEUE, 0), 0, "DisableEvent"));
}

bool worker::room_in_queue(IEventManager* events)
{
    if (spoilt(check(events->DiscardEvents(ALL_ENABLED_EVENTS, EVENT_QUEUE, 0), 0,
                     "DiscardEvents(all)")))
        return false;
    started_jobs_.clear();  // their completions, if any, were in the queue
    return true;
}

long worker::take_completion(long timeout_ms, kinds may, std::string* read_text)
{
    auto events = own_.as<IEventManager>(IID_IEventManager);
    if (!events)
        return -1;
    com_ptr<IEvent> event;
    if (check(events->WaitOnEvent(timeout_ms, EVENT_IO_COMPLETION, 0, event.put()), may,
              "WaitOnEvent(I/O completion)") != kind::ok)
        return -1;
    out_.event();
    auto completion = event.as<IEventIOCompletion>(IID_IEventIOCompletion);
    long job = -1;
    if (!completion) {
        out_.wrong("an I/O completion event does not answer IEventIOCompletion");
    } else if (out_.check(completion->get_JobId(&job), 0, "get_JobId", false) == kind::ok) {
        // Under fault injection the capture's attribute reads may fail, giving a completion
        // another job ID (0) or status, so only a fault-free run tells which job it was.
        if (terminated_jobs_.count(job) && strict())
            out_.wrong("job " + std::to_string(job) + " completed after Terminate succeeded");
        else if (!started_jobs_.erase(job) && strict())
            out_.wrong("a completion of job " + std::to_string(job) + ", never started");
        long status = 0;
        mrv::bstr text;
        if (read_text &&
            out_.check(completion->get_IOStatus(&status), 0, "get_IOStatus", false) == kind::ok &&
            SUCCEEDED(status) &&
            out_.check(completion->get_ReadBufferAsString(text.put()), 0, "get_ReadBufferAsString",
                       false) == kind::ok)
            *read_text = narrow(text.get());
    }
    out_.check(event->Close(), 0, "IEvent::Close", false);
    return job;
}

void worker::async_query()
{
    auto s = own();
    auto events = s.as<IEventManager>(IID_IEventManager);
    auto async = s.as<IAsyncMessage>(IID_IAsyncMessage);
    if (!events || !async || !room_in_queue(events.get()))
        return;
    if (spoilt(check(events->EnableEvent(EVENT_IO_COMPLETION, EVENT_QUEUE, 0), 0,
                     "EnableEvent(queue)")))
        return;
    const auto command = make_bstr(L"*IDN?\n");
    long write_job = 0, read_job = 0;
    if (spoilt(check(async->WriteString(command.get(), &write_job), 0, "async WriteString")))
        return;
    started_jobs_.insert(write_job);
    if (spoilt(check(async->Read(100, &read_job), 0, "async Read")))
        return;
    started_jobs_.insert(read_job);
    const bool owed = strict();
    for (int i = 0; i < 8; ++i) {
        std::string text;
        const long job =
            take_completion(owed ? kStrictWaitMs : 300, owed ? 0 : only(kind::timeout), &text);
        if (job == read_job) {
            if (answer(text) != kIdentity)
                out_.wrong("an asynchronous read of *IDN? gave \"" + text + "\"");
            return;
        }
        if (job < 0)
            break;
    }
    if (owed)
        out_.wrong("the completion of asynchronous read " + std::to_string(read_job) +
                   " never came");
    close_own();  // the read may still be waiting and would take the next answer
}

void worker::terminated_job()
{
    auto s = own();
    auto events = s.as<IEventManager>(IID_IEventManager);
    auto async = s.as<IAsyncMessage>(IID_IAsyncMessage);
    if (!events || !async)
        return;
    if (spoilt(check(events->EnableEvent(EVENT_IO_COMPLETION, EVENT_QUEUE, 0), 0,
                     "EnableEvent(queue)")))
        return;
    long job = 0;
    if (spoilt(check(async->Read(64, &job), 0, "async Read")))
        return;
    started_jobs_.insert(job);  // nothing is sent: the read waits
    if (spoilt(check(async->Terminate(job), 0, "Terminate")))
        return;
    started_jobs_.erase(job);
    terminated_jobs_.insert(job);
    take_completion(20, only(kind::timeout));  // a terminated job's completion is dropped
}

// Installed on one step, uninstalled on another: the handler is called directly on the session's
// dispatch thread with the service requests the library driver raises meanwhile.
void worker::free_threaded_handler()
{
    auto events = own().as<IEventManager>(IID_IEventManager);
    if (!events)
        return;
    if (handler_installed_) {
        handler_installed_ = false;
        spoilt(check(events->UninstallHandler(EVENT_SERVICE_REQ, user_handle_, 0), 0,
                     "UninstallHandler"));
        return;
    }
    if (spoilt(check(events->InstallHandler(EVENT_SERVICE_REQ, handler_.get(), user_handle_, 0), 0,
                     "InstallHandler")))
        return;
    handler_installed_ = true;
    spoilt(
        check(events->EnableEvent(EVENT_SERVICE_REQ, EVENT_HNDLR, 0), 0, "EnableEvent(handler)"));
}

void worker::reopen_own()
{
    close_own();
    own();
}

// ---- Shared sessions: other workers lock, read and close them meanwhile ----------------------

void worker::shared_io()
{
    auto message = shared_.get(random_()).as<IMessage>(IID_IMessage);
    if (!message)
        return;
    constexpr kinds may = kind::closed | kind::locked | kind::timeout;
    const auto command = make_bstr(L"*IDN?\n");
    long written = 0;
    if (check(message->WriteString(command.get(), &written), may, "shared WriteString") != kind::ok)
        return;
    mrv::bstr text;
    if (check(message->ReadString(256, text.put()), may, "shared ReadString") != kind::ok)
        return;
    // Any session of the port may read any answer, but always a whole one.
    if (answer(narrow(text.get())) != kIdentity && strict())
        out_.wrong("a shared read gave \"" + narrow(text.get()) + "\"");
}

void worker::shared_lock()
{
    auto s = shared_.get(random_());
    auto message = s.as<IMessage>(IID_IMessage);
    if (!message)
        return;
    const bool exclusive = random_() % 2;
    const auto key = make_bstr(exclusive ? L"" : L"soak");
    mrv::bstr granted;
    if (check(s->LockRsrc(exclusive ? EXCLUSIVE_LOCK : SHARED_LOCK, 300, key.get(), granted.put()),
              kind::closed | kind::locked | kind::timeout, "LockRsrc") != kind::ok)
        return;
    const auto command = make_bstr(L"*CLS\n");
    long written = 0;
    check(message->WriteString(command.get(), &written), kind::closed | kind::locked,
          "WriteString under a lock");
    // Another worker on the same session may have unlocked it already.
    for (int i = 0; i < 3; ++i)
        if (check(s->UnlockRsrc(), kind::closed | kind::not_locked, "UnlockRsrc") != kind::injected)
            break;
}

void worker::shared_wait()
{
    auto events = shared_.get(random_()).as<IEventManager>(IID_IEventManager);
    if (!events)
        return;
    if (check(events->EnableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0), only(kind::closed),
              "shared EnableEvent(queue)") != kind::ok)
        return;
    com_ptr<IEvent> event;
    if (check(events->WaitOnEvent(300, EVENT_SERVICE_REQ, 0, event.put()),
              kind::closed | kind::timeout, "shared WaitOnEvent") != kind::ok)
        return;
    out_.event();
    long type = 0;
    if (raised_type(out_, event.get(), type) && type != EVENT_SERVICE_REQ)
        out_.wrong("a wait for service requests gave type " +
                   hex(static_cast<std::uint32_t>(type)));
    out_.check(event->Close(), 0, "IEvent::Close", false);
}

void worker::shared_async()
{
    auto s = shared_.get(random_());
    auto events = s.as<IEventManager>(IID_IEventManager);
    auto async = s.as<IAsyncMessage>(IID_IAsyncMessage);
    if (!events || !async)
        return;
    if (check(events->EnableEvent(EVENT_IO_COMPLETION, EVENT_QUEUE, 0), only(kind::closed),
              "shared EnableEvent(queue)") != kind::ok)
        return;
    auto command = bytes("*CLS\n");
    SAFEARRAY* array = command.get();
    long job = 0;
    check(async->Write(&array, 5, &job), kind::closed | kind::locked, "shared async Write");
    // A read that another session's answer may complete before Terminate reaches it.
    if (check(async->Read(32, &job), kind::closed | kind::locked, "shared async Read") == kind::ok)
        check(async->Terminate(job), kind::closed | kind::job_gone, "shared Terminate");
    check(events->DiscardEvents(EVENT_IO_COMPLETION, EVENT_QUEUE, 0), only(kind::closed),
          "shared DiscardEvents");
}

void worker::shared_properties()
{
    auto s = shared_.get(random_());
    auto serial = s.as<ISerial>(IID_ISerial);
    auto message = s.as<IBaseMessage>(IID_IBaseMessage);
    if (!serial || !message)
        return;
    long baud = 0, available = 0, last = 0;
    if (check(serial->get_BaudRate(&baud), only(kind::closed), "shared get_BaudRate") == kind::ok &&
        baud != 9600)
        out_.wrong("the shared port's baud rate reads " + std::to_string(baud));
    check(serial->get_BytesAvailable(&available), only(kind::closed), "get_BytesAvailable");
    mrv::variant value;
    if (check(s->GetAttribute(kTermcharAttribute, value.put()), only(kind::closed),
              "shared GetAttribute") == kind::ok &&
        as_long(*value.get()) != '\n')
        out_.wrong("the shared termination character reads " +
                   std::to_string(as_long(*value.get())));
    check(message->put_TerminationCharacter('\n'), only(kind::closed),
          "shared put_TerminationCharacter");
    AccessMode lock_state{};
    check(s->get_LockState(&lock_state), only(kind::closed), "get_LockState");
    out_.check(s->get_LastStatus(&last), 0, "get_LastStatus", false);
}

void worker::reopen_shared()
{
    shared_.replace(random_());
}

}  // namespace soak
