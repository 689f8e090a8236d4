#include "output_fanout.h"

#include <exception>

namespace vadrel {

Delivery OutputFanOut::send(std::string_view bytes) {
    Delivery delivery;
    // An unforeseen failure of the serial port still lets the others have
    // this second's bytes; it is passed on afterwards.
    std::exception_ptr unforeseen;
    try {
        if (serial_.is_open()) {
            delivery.serial = serial_.write(bytes) ? Delivery::Serial::written : Delivery::Serial::skipped;
        }
    } catch (const PortFailure& e) {
        delivery.serial = Delivery::Serial::lost;
        delivery.loss = e.what();
    } catch (...) {
        unforeseen = std::current_exception();
    }
    for (OutputSink* sink : sinks_) {
        const OutputSink::Result result = sink->send(bytes);
        delivery.elsewhere = delivery.elsewhere || result.running;
        delivery.notes += result.note;
    }
    if (unforeseen) std::rethrow_exception(unforeseen);
    return delivery;
}

bool OutputFanOut::busy() const {
    for (const OutputSink* sink : sinks_) {
        if (sink->busy()) return true;
    }
    return false;
}

}  // namespace vadrel
