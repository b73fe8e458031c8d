// cloth_bench -- the cost of one simulated frame and of its stages, on a cloth
// that has fallen onto the sphere (wind on, pins on, smooth normals on), and of
// the same frame done by the test suite's literal implementation. The
// Time column is microseconds per frame or stage; AccumulateForces includes the
// wind pass, which runs inside it, and reports its time per spring evaluation.

#include <benchmark/benchmark.h>

#include "cloth/accumulate_forces.h"
#include "cloth/cloth_grid.h"
#include "cloth/cloth_normals.h"
#include "cloth/integrate_cloth.h"
#include "cloth/simulate_frame.h"
#include "cloth/wind_force.h"
#include "tests/cloth_reference.h"

namespace {

constexpr int springEvaluations = 43 * 43 * 8 + 4 * 43 * 5 + 4 * 3;  // both ends of every spring

// A draped cloth exercises collisions; a fresh one would not.
void prepareDrapedCloth() {
    clearClothState();
    resetClothSheet();
    windEnabled = 1;
    for (int frame = 0; frame < 400; ++frame) simulateClothFrame();
}

void BM_SimulatedFrame(benchmark::State& state) {
    prepareDrapedCloth();
    for (auto _ : state) {
        simulateClothFrame();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SimulatedFrame)->Unit(benchmark::kMicrosecond);

// The same frame done by the test suite's literal implementation, for the ratio.
void BM_LiteralFrame(benchmark::State& state) {
    static ReferenceCloth cloth;
    referenceReset(cloth);
    cloth.windOn = true;
    for (int frame = 0; frame < 400; ++frame) referenceFrame(cloth);
    for (auto _ : state) {
        referenceFrame(cloth);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LiteralFrame)->Unit(benchmark::kMicrosecond);

void BM_AccumulateForces(benchmark::State& state) {
    prepareDrapedCloth();
    for (auto _ : state) {
        accumulateForces();
        benchmark::ClobberMemory();
        state.PauseTiming();
        for (auto& row : ClothGrid)
            for (auto& node : row) node.force[0] = node.force[1] = node.force[2] = 0;
        state.ResumeTiming();
    }
    // Seconds per spring evaluation (both ends counted), printed with its SI prefix.
    state.counters["per_spring"] = benchmark::Counter(
        springEvaluations, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AccumulateForces)->Unit(benchmark::kMicrosecond);

void BM_WindForces(benchmark::State& state) {
    prepareDrapedCloth();
    for (auto _ : state) {
        computeWindForces();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WindForces)->Unit(benchmark::kMicrosecond);

void BM_IntegrateAndCommit(benchmark::State& state) {
    prepareDrapedCloth();
    for (auto _ : state) {
        savePinnedNodes();
        integrateCloth();
        commitNextGrid();
        restorePinnedNodes();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_IntegrateAndCommit)->Unit(benchmark::kMicrosecond);

void BM_SmoothNormals(benchmark::State& state) {
    prepareDrapedCloth();
    for (auto _ : state) {
        for (auto& row : nodeNormalSums)
            for (auto& n : row) n[0] = n[1] = n[2] = 0;
        sumSmoothNormals(nullptr);
        normaliseNodeNormals();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SmoothNormals)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
