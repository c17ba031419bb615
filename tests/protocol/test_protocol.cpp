#include <gtest/gtest.h>

#include "../analysis/sampled_record.h"
#include "../files/temp_folder.h"
#include "files/svk_file.h"
#include "protocol/core/protocol.h"

namespace {

// Range 4: a tenth of a lux per unit.
analysis::MeasurementRecord Ripple()
{
    auto r = SampledRecord(400, 1.0f, [](int i) { return i % 40 < 20 ? 1100 : 900; });
    r.RangeIndex = 4;
    r.RangeDecade = analysis::RangeDecadeFor(4);
    return r;
}

TEST(ProtocolCsv, CommaSeparatorQuotingAndLimitText)
{
    testing_files::TempFolder dir;
    files::WriteMeasurementFile(dir / "a.svk", Ripple(), "Цех; линия \"А\"\r\nКп<=12,5");
    const auto rows = protocol::BuildProtocol(dir.Folder(), 5.0);
    ASSERT_EQ(rows.size(), 1u);
    const analysis::NumberFormat comma{",", " "};
    // 200 samples at 1100, 199 at 900: M = 1000 e-1, Kп = 200 / 2 / 1000 = 0.100; F = 100 Hz; PF = 10 %;
    // SVM from the square's fundamental 0.1 * 4 / pi over T(100) = 0.497, its harmonics adding 0.001.
    EXPECT_EQ(protocol::ProtocolCsv(rows, comma),
              "\xEF\xBB\xBF№;Файл;Место;E, лк;Кп, %;Норма Кп, %;Вывод;F, Гц;PF, %;FI;SVM;IEEE 1789\r\n"
              "1;a.svk;\"Цех; линия \"\"А\"\"\";100,0;10,0;12,5;соответствует;100,0;10,0;0,050;0,498;риск\r\n");
    double limit = 0;
    EXPECT_TRUE(protocol::ParseLimit("2,5", limit));
    EXPECT_EQ(limit, 2.5);
    EXPECT_FALSE(protocol::ParseLimit("101", limit));
    EXPECT_FALSE(protocol::ParseLimit("5x", limit));
    EXPECT_EQ(protocol::LimitText(5.0, comma), "5");
    EXPECT_EQ(protocol::PulsationVerdict(5.0, 5.0), protocol::Verdict::Complies);
    EXPECT_EQ(protocol::PulsationVerdict(5.1, 5.0), protocol::Verdict::Fails);
}

}  // namespace
