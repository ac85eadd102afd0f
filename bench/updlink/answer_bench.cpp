// The answer scanner against pugixml on the same text, in one run (CPU time,
// which other work on a shared machine disturbs least): loading a 900 KiB
// list answer and collecting one field, and the same at ten times the size.
// Prints the ratios at the end; the goal is no slower than pugixml at either
// size and at most 10x the time for 10x the input.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <pugixml.hpp>
#include <string>

#include "updlink/answer.h"

namespace {

std::string MakeAnswer(std::size_t bytes) {
  std::string s = "<?xml version='1.0' encoding='utf-8'?>\r\n<list result='OK'>\r\n";
  for (int i = 0; s.size() < bytes; ++i) {
    std::string n = std::to_string(i);
    s += "  <row>\r\n    <sw_version>P4." + n + "</sw_version>\r\n    <sw_uri>http://global.example/sync/" + n +
         ".exe</sw_uri>\r\n    <sw_recommand_uri>http://kic.example/sync/" + n +
         ".exe</sw_recommand_uri>\r\n    <sw_recommand_type>KIC/GLOBAL</sw_recommand_type>\r\n"
         "    <sw_recommand_uri2>http://ruba.example/sync/" + n +
         ".exe</sw_recommand_uri2>\r\n    <sw_recommand_type2>RUBA/GLOBAL</sw_recommand_type2>\r\n"
         "    <sw_chk_uri>http://kic.example/chk.bin</sw_chk_uri>\r\n    <sw_chk_uri2>http://ruba.example/chk.bin</sw_chk_uri2>\r\n  </row>\r\n";
  }
  return s + "</list>\r\n";
}

const std::string& Answer(int scale) {
  static std::map<int, std::string> cache;
  auto& s = cache[scale];
  if (s.empty()) s = MakeAnswer(static_cast<std::size_t>(scale) * 900 * 1024);
  return s;
}

void Scanner(benchmark::State& state) {
  const std::string& text = Answer(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    updlink::AnswerParser p;
    p.Load(text);
    auto list = updlink::FindAll(p.Root(), "sw_version");
    benchmark::DoNotOptimize(list.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void Pugixml(benchmark::State& state) {
  const std::string& text = Answer(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    pugi::xml_document doc;
    doc.load_buffer(text.data(), text.size());
    std::vector<std::string> list;
    struct Walker : pugi::xml_tree_walker {
      std::vector<std::string>* out;
      bool for_each(pugi::xml_node& n) override {
        if (n.type() == pugi::node_element && std::string_view(n.name()) == "sw_version") out->push_back(n.child_value());
        return true;
      }
    } walker;
    walker.out = &list;
    doc.traverse(walker);
    benchmark::DoNotOptimize(list.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Medians of several repetitions: the build machines are shared.
BENCHMARK(Scanner)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(Pugixml)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

class Collector : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> times;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")
        times[r.run_name.function_name + "/" + r.run_name.args] = r.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Collector c;
  benchmark::RunSpecifiedBenchmarks(&c);
  auto t = [&](const char* n) { return c.times.count(n) ? c.times[n] : 0.0; };
  if (t("Scanner/1") > 0 && t("Pugixml/1") > 0)
    std::printf("ratio scanner/pugixml at 900 KiB: %.2f (goal <= 1)\n", t("Scanner/1") / t("Pugixml/1"));
  if (t("Scanner/10") > 0 && t("Pugixml/10") > 0)
    std::printf("ratio scanner/pugixml at 9 MiB:   %.2f (goal <= 1)\n", t("Scanner/10") / t("Pugixml/10"));
  if (t("Scanner/1") > 0 && t("Scanner/10") > 0)
    std::printf("scanner 10x input takes %.2fx the time (goal <= 10)\n", t("Scanner/10") / t("Scanner/1"));
  return 0;
}
