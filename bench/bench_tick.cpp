// Cost of one running tick in each mode against a port that keeps nothing.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON
//   cmake --build build-bench --target bench_tick && build-bench/bench/bench_tick

#include <benchmark/benchmark.h>

#include "core/faults.h"
#include "core/tick.h"
#include "panel/wiring.h"
#include "platform/output_fanout.h"

namespace vadrel {
namespace {

class NullPort : public SerialPort {
public:
    bool is_open() const override { return true; }
    void open() override {}
    void close() override {}
    void set_port_number(std::int16_t) override {}
    std::int16_t port_number() const override { return 2; }
    void set_settings(const std::string&) override {}
    std::string settings() const override { return "4800,N,8,1"; }
    bool write(std::string_view bytes) override {
        benchmark::DoNotOptimize(bytes.data());
        return true;
    }
};

class SteppingClock : public Clock {
public:
    double steady_seconds() override { return now; }
    double utc_seconds() override { return now; }
    std::string time_text() override { return "20.15.28"; }
    std::string date_text() override { return "09/05/03"; }
    WallTime wall_time() override { return {{2003, 5, 9, 20, 15, 28}, {2003, 5, 9, 18, 15, 28}}; }
    double now = 3600.0;
};

class QuietShell : public Shell {
public:
    void message_box(const std::string&, const std::string&) override {}
    void run_pending_events() override {}
    void end_program_now(const std::string&) override {}
};

enum class Mode { gps, radio, multi };

void run_ticks(benchmark::State& state, Mode mode, const OpzioniRicevitore& opzioni = {}) {
    NullPort port;
    OutputFanOut output{port};
    SteppingClock clock;
    QuietShell shell;
    Form1 form{Platform{port, output, clock, shell}};
    collega_eventi(form);
    for (std::size_t i = 0; i < form.mezzi.size(); ++i) {
        form.mezzi[i] = veicolo{44, 1, 46, "N", 10, 8, 4, "E", 100, 45, -1, 0};
    }
    form.txt_lat_g.set_text("44");
    form.txt_vel.set_text("100");
    form.txt_angolo.set_text("45");
    imposta_ricevitore(form, opzioni);
    if (mode == Mode::radio) form.opt_tx_radio.select();
    if (mode == Mode::multi) {
        form.opt_multi.select();
        form.txt_num_mezzi.set_text("19");
    }
    for (auto _ : state) {
        clock.now += 1.0;
        Timer1_Timer(form);
    }
}

void BM_TickGpsStandard(benchmark::State& state) { run_ticks(state, Mode::gps); }
void BM_TickRadio(benchmark::State& state) { run_ticks(state, Mode::radio); }
void BM_TickMultiUser19(benchmark::State& state) { run_ticks(state, Mode::multi); }

// Every receiver option on: UTC, real motion, the full set, faults.
void BM_TickFullSetWithFaults(benchmark::State& state) {
    OpzioniRicevitore o;
    o.utc = o.moto_reale = o.frasi_complete = true;
    o.quota = 254.5;
    o.guasti = {true, 0.05, 0.05, 0.05, 7};
    run_ticks(state, Mode::gps, o);
}

BENCHMARK(BM_TickGpsStandard);
BENCHMARK(BM_TickFullSetWithFaults);
BENCHMARK(BM_TickRadio);
BENCHMARK(BM_TickMultiUser19);

}  // namespace
}  // namespace vadrel

BENCHMARK_MAIN();
