// Animations grouped from frame names: the corpus models name their frames
// the way modders do, so their grouping is the reference.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/animations.h"
#include "tests/model/model_files.h"

namespace {

using Expected = std::vector<std::tuple<std::string, int, int>>;

Expected flatten(const std::vector<ModelAnimation>& animations) {
    Expected out;
    for (const ModelAnimation& a : animations) out.emplace_back(a.name, a.first, a.last);
    return out;
}

TEST(Animations, FaerieFramesGroupAsItsAuthorNamedThem) {
    ModelPtr model = loadCorpusModel("faerie.md2");
    ASSERT_TRUE(model);
    const Expected expected = {
        {"stand", 0, 39},     {"run", 40, 45},       {"attack", 46, 53},   {"pain1", 54, 57},    {"pain2", 58, 61},
        {"pain3", 62, 65},    {"jump", 66, 71},      {"flip", 72, 83},     {"salute", 84, 94},   {"taunt", 95, 111},
        {"wave", 112, 122},   {"point", 123, 134},   {"crstnd", 135, 153}, {"crwalk", 154, 159}, {"crattak", 160, 168},
        {"crpain", 169, 172}, {"crdeath", 173, 177}, {"death1", 178, 183}, {"death2", 184, 189}, {"death3", 190, 197},
    };
    EXPECT_EQ(flatten(modelAnimations(model.get())), expected);
}

TEST(Animations, SydneyThreeDigitCountsStayWhole) {
    // run001..run006 and taunt001..taunt017: a leading zero that never
    // changes is part of the count, not an animation number.
    ModelPtr model = loadCorpusModel("sydney.md2");
    ASSERT_TRUE(model);
    Expected got = flatten(modelAnimations(model.get()));
    ASSERT_EQ(got.size(), 16u);
    EXPECT_EQ(got[1], std::make_tuple(std::string("run"), 40, 45));
    EXPECT_EQ(got[3], std::make_tuple(std::string("pain"), 54, 65));
    EXPECT_EQ(got[7], std::make_tuple(std::string("taunt"), 95, 111));
    EXPECT_EQ(got[15], std::make_tuple(std::string("death"), 178, 197));
}

TEST(Animations, NamesThatComeBackOrCountsThatRestartStartNewAnimations) {
    EXPECT_EQ(flatten(groupAnimations({"stand01", "stand02", "run1", "stand03", "stand04"})),
              (Expected{{"stand", 0, 1}, {"run", 2, 2}, {"stand", 3, 4}}));
    EXPECT_EQ(flatten(groupAnimations({"walk1", "walk2", "walk1", "walk2"})),
              (Expected{{"walk", 0, 1}, {"walk", 2, 3}}));
}

TEST(Animations, HundredsDigitSplitsOnlyWhereItJumps) {
    EXPECT_EQ(flatten(groupAnimations({"pain101", "pain102", "pain201", "pain202", "pain301"})),
              (Expected{{"pain1", 0, 1}, {"pain2", 2, 3}, {"pain3", 4, 4}}));
    // A count running on past 099 is one animation; a lone series keeps its name.
    EXPECT_EQ(flatten(groupAnimations({"swim098", "swim099", "swim100", "swim101"})), (Expected{{"swim", 0, 3}}));
    EXPECT_EQ(flatten(groupAnimations({"die101", "die102", "die103"})), (Expected{{"die", 0, 2}}));
}

TEST(Animations, NamesWithoutNumbersAndNumbersWithoutNames) {
    EXPECT_EQ(flatten(groupAnimations({"base", "base", "pose"})), (Expected{{"base", 0, 1}, {"pose", 2, 2}}));
    EXPECT_EQ(flatten(groupAnimations({"001", "002", "003"})), (Expected{{"001", 0, 2}}));
    EXPECT_TRUE(groupAnimations({}).empty());
    EXPECT_TRUE(modelAnimations(nullptr).empty());
}

}  // namespace
