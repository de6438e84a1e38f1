// Records that nyxvc emits for small modules, decoded and compared with golden text.
#include <gtest/gtest.h>

#include "nyxvc_test_util.h"

using nyxvctest::compileText;

namespace {

const char *kCells = R"(
module inv (A, Y); input A; output Y; endmodule
module nand2 (input A, input B, output Y); endmodule
module mux4 (input [3:0] D, input [1:0] S, output Y); endmodule
)";

} // namespace

// Children come before their parent, each a view of its own; a bus port's members are the bits
// of the bus net; positional and named connections reach the same port instances.
TEST(NyxvcEmit, HierarchyPortsAndConnections) {
    const auto r = compileText(R"(
module top (input [1:0] a, output y);
  wire w;
  leaf l1 (a, w);
  leaf l2 (.y(y), .a({w, a[0]}));
endmodule
module leaf (a, y);
  input [1:0] a;
  output y;
  nand2 g (.A(a[1]), .B(a[0]), .Y(y));
endmodule
)", "top", {}, kCells);
    ASSERT_TRUE(r.ok) << r.messages;
    EXPECT_EQ(r.messages, "");
    EXPECT_EQ(r.records, R"(view L/leaf/v CFIDR_NETLISTVIEW nets 4 footprints 1
  bus #0 a[1:0] 1 0
    net #1 a[1]
    net #2 a[0]
  net #3 y
  port bus a[1:0] 1 0
    port a[1] dir 1 net 1
    port a[0] dir 1 net 2
  port y dir 2 net 3
  footprint #0 L/nand2/v
    fpport A dir 1
    fpport B dir 1
    fpport Y dir 2
  inst g fp 0
    pin 1
    pin 2
    pin 3
from t.v
view L/top/v CFIDR_NETLISTVIEW nets 5 footprints 1
  bus #0 a[1:0] 1 0
    net #1 a[1]
    net #2 a[0]
  net #3 y
  net #4 w
  port bus a[1:0] 1 0
    port a[1] dir 1 net 1
    port a[0] dir 1 net 2
  port y dir 2 net 3
  footprint #0 L/leaf/v
    fpport bus a[1:0] 1 0
      fpport a[1] dir 1
      fpport a[0] dir 1
    fpport y dir 2
  inst l1 fp 0
    pins 1 2
    pin 4
  inst l2 fp 0
    pins 4 2
    pin 3
from t.v
)");
}

// assign joins nets: one net per class, named after its port bit (else its first declared
// bit), the other names its aliases; a bit shared with another bus is a reference there.
// Constants are one net each per module; z leaves a bit unconnected, x is the net 1'bx.
TEST(NyxvcEmit, JoinsConstantsAndAliases) {
    const auto r = compileText(R"(
module top (a, y, z);
  input a; output y; output [1:0] z;
  wire [2:0] w;
  assign w[2] = a, y = w[2];
  assign z = w[1:0];
  assign w[0] = 1'b1;
  mux4 m (.D({1'b0, 1'bz, 1'bx, 1'b1}), .S(2'b10), .Y(n));
endmodule
)", "top", {}, kCells);
    ASSERT_TRUE(r.ok) << r.messages;
    EXPECT_EQ(r.records, R"(view L/top/v CFIDR_NETLISTVIEW nets 8 footprints 1
  net #0 a
    alias y
    alias w[2]
  bus #1 z[1:0] 1 0
    net #2 z[1]
      alias w[1]
    net #3 z[0]
      alias w[0]
      alias 1'b1
  bus #4 w[2:0] 2 0
    ref #0
    ref #2
    ref #3
  net #5 n
  net #6 1'b0
  net #7 1'bx
  port a dir 1 net 0
  port y dir 2 net 0
  port bus z[1:0] 1 0
    port z[1] dir 2 net 2
    port z[0] dir 2 net 3
  footprint #0 L/mux4/v
    fpport bus D[3:0] 3 0
      fpport D[3] dir 1
      fpport D[2] dir 1
      fpport D[1] dir 1
      fpport D[0] dir 1
    fpport bus S[1:0] 1 0
      fpport S[1] dir 1
      fpport S[0] dir 1
    fpport Y dir 2
  inst m fp 0
    pins 6 -1 7 3
    pins 3 6
    pin 5
from t.v
)");
}

// Escaped names lose their backslash and blank; parameters and attributes become instance
// properties (integer when decimal, else string), positional parameters take the child's
// names; supply nets are global, other net kinds carry "net_type"; an instance array becomes
// one instance per member with wide connections sliced.
TEST(NyxvcEmit, NamesPropertiesNetKindsAndArrays) {
    const auto r = compileText(R"(
module top (a, \b+c );
  input [1:0] a; output [1:0] \b+c ;
  supply0 GND;
  tri t;
  tri [1:0] tb;
  (* keep, src = "top.v:3" *) cell #(8, "x") \u/1  (.I(GND), .O(t));
  defparam \u/1 .P = 2'b01;
  inv ua[1:0] (.A(a), .Y(\b+c ));
endmodule
module cell #(parameter W = 1, parameter N = "n") (input I, output O);
endmodule
)", "top", {}, kCells);
    ASSERT_TRUE(r.ok) << r.messages;
    EXPECT_EQ(r.records, R"(view L/cell/v CFIDR_NETLISTVIEW nets 2 footprints 0
  net #0 I
  net #1 O
  port I dir 1 net 0
  port O dir 2 net 1
from t.v
name 0 net_type type 5
name 1 keep type 2
name 2 src type 5
name 3 W type 2
name 4 N type 5
name 5 P type 5
view L/top/v CFIDR_NETLISTVIEW nets 11 footprints 2
  bus #0 a[1:0] 1 0
    net #1 a[1]
    net #2 a[0]
  bus #3 b+c[1:0] 1 0
    net #4 b+c[1]
    net #5 b+c[0]
  net #6 GND global
  net #7 t
    prop net_type = "tri"
  bus #8 tb[1:0] 1 0
    prop net_type = "tri"
    net #9 tb[1]
    net #10 tb[0]
  port bus a[1:0] 1 0
    port a[1] dir 1 net 1
    port a[0] dir 1 net 2
  port bus b+c[1:0] 1 0
    port b+c[1] dir 2 net 4
    port b+c[0] dir 2 net 5
  footprint #0 L/cell/v
    fpport I dir 1
    fpport O dir 2
  footprint #1 L/inv/v
    fpport A dir 1
    fpport Y dir 2
  inst u/1 fp 0
    prop keep = 1
    prop src = "top.v:3"
    prop W = 8
    prop N = "x"
    prop P = "2'b01"
    pin 6
    pin 7
  inst ua[1] fp 1
    pin 1
    pin 4
  inst ua[0] fp 1
    pin 2
    pin 5
from t.v
)");
}

// -parens names bits "a(1)"; -lowercase maps every name read (the mapped names once died with
// the lexer while the model still pointed at them); the requested cell keeps the name the
// library asked for.
TEST(NyxvcEmit, CaseMappedNamesOutliveTheLexer) {
    nyxvc::Options opts;
    opts.parens = true;
    opts.nameCase = nyxvc::NameCase::Lower;
    const auto r = compileText("module TOP (input [1:0] A); INV U1 (.A(A[0]), .Y(N)); endmodule\n", "Top", opts);
    ASSERT_TRUE(r.ok) << r.messages;
    EXPECT_EQ(r.records, R"(view L/Top/v CFIDR_NETLISTVIEW nets 4 footprints 1
  bus #0 a(1:0) 1 0
    net #1 a(1)
    net #2 a(0)
  net #3 n
  port bus a(1:0) 1 0
    port a(1) dir 1 net 1
    port a(0) dir 1 net 2
  footprint #0 L/inv/v
    fpport a dir 0
    fpport y dir 0
  inst u1 fp 0
    pin 2
    pin 3
from t.v
)");
}

// A cell without definition or stub takes its ports from the named connections, in order of
// first use and as wide as the widest connection, with one warning; widths that differ are
// aligned on the right with a warning; ascending ranges keep their written order.
TEST(NyxvcEmit, InferredCellsWidthsAndRanges) {
    const auto r = compileText(R"(module top (input [0:2] a);
  wire [3:0] w;
  blk b1 (.P(a[0]), .Q(w));
  blk b2 (.Q(a), .R(a[2]));
endmodule
)", "top");
    ASSERT_TRUE(r.ok) << r.messages;
    EXPECT_EQ(r.messages,
              "t.v:3: warning: cell blk is not defined; its ports are taken from its named connections\n"
              "t.v:4: warning: connection of 3 bits to port Q of 4 bits (instance b2); aligned on the right\n");
    EXPECT_EQ(r.records, R"(view L/top/v CFIDR_NETLISTVIEW nets 9 footprints 1
  bus #0 a[0:2] 0 2
    net #1 a[0]
    net #2 a[1]
    net #3 a[2]
  bus #4 w[3:0] 3 0
    net #5 w[3]
    net #6 w[2]
    net #7 w[1]
    net #8 w[0]
  port bus a[0:2] 0 2
    port a[0] dir 1 net 1
    port a[1] dir 1 net 2
    port a[2] dir 1 net 3
  footprint #0 L/blk/v
    fpport P dir 0
    fpport bus Q[3:0] 3 0
      fpport Q[3] dir 0
      fpport Q[2] dir 0
      fpport Q[1] dir 0
      fpport Q[0] dir 0
    fpport R dir 0
  inst b1 fp 0
    pin 1
    pins 5 6 7 8
    pin -1
  inst b2 fp 0
    pin -1
    pins -1 1 2 3
    pin 3
from t.v
)");
}
