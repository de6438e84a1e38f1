// Records that nyxvc emits for small modules, decoded and compared with golden text.
#include <gtest/gtest.h>

#include "nyxvc_test_util.h"

using nyxvctest::compileText;

TEST(NyxvcEmit, Smoke) {
    const auto r = compileText(R"(
module sub (input [1:0] a, output y);
  nand2 g1 (.A(a[1]), .B(a[0]), .Y(y));
endmodule
module top (a, b, y, z);
  input [3:0] a; input b; output y; output [1:0] z;
  wire [1:0] w;
  (* keep = 1, src = "x.v" *)
  sub #(.W(8)) u1 (.a(a[3:2]), .y(w[1]));
  sub u2 ({b, 1'b0}, w[0]);
  assign y = w[1];
  assign z = {w[0], 1'bz};
  supply1 VDD;
  inv i3 (.A(VDD), .Y(n1));
endmodule
)", "top");
    EXPECT_TRUE(r.ok) << r.messages;
    std::cout << r.messages << r.records;
}
