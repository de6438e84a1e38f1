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

// A supply joined to a port by assign keeps its own name, the port's bit becoming an alias:
// global nets join by name across the hierarchy and a global alias joins nothing, so a net named
// after the port would split the supply.
TEST(NyxvcEmit, ASupplyJoinedToAPortKeepsItsName) {
    const auto r = compileText(R"(
module sub (y, a);
  output y; input a;
  supply1 VDD;
  assign y = VDD;
endmodule
)", "sub", {}, kCells);
    ASSERT_TRUE(r.ok) << r.messages;
    EXPECT_EQ(r.records, R"(view L/sub/v CFIDR_NETLISTVIEW nets 2 footprints 0
  net #0 VDD global
    alias y
  net #1 a
  port y dir 2 net 0
  port a dir 1 net 1
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

// inout ports; supply1 is global like supply0; a replication repeats its part; the constants
// are nets of each module that uses them; an instance array gives a connection as wide as one
// member to every member, and slices one as wide as all of them.
TEST(NyxvcEmit, InoutReplicationsConstantsPerModuleAndArrayConnections) {
    const auto r = compileText(R"(
module top (input [1:0] a, inout p, output [3:0] y);
  supply1 VDD;
  sub s (.a(a[1]), .p(p));
  mux4 m (.D({2{a[0], 1'b1}}), .S({VDD, 1'b0}), .Y(y[3]));
  inv u[2:0] (.A(1'b0), .Y(y[2:0]));
endmodule
module sub (a, p); input a; inout p;
  nand2 g (.A(a), .B(1'b1), .Y(p));
  inv i (.A(1'b0), .Y());
endmodule
)", "top", {}, kCells);
    ASSERT_TRUE(r.ok) << r.messages;
    EXPECT_EQ(r.messages, "");
    EXPECT_EQ(r.records, R"(view L/sub/v CFIDR_NETLISTVIEW nets 4 footprints 2
  net #0 a
  net #1 p
  net #2 1'b0
  net #3 1'b1
  port a dir 1 net 0
  port p dir 3 net 1
  footprint #0 L/nand2/v
    fpport A dir 1
    fpport B dir 1
    fpport Y dir 2
  footprint #1 L/inv/v
    fpport A dir 1
    fpport Y dir 2
  inst g fp 0
    pin 0
    pin 3
    pin 1
  inst i fp 1
    pin 2
    pin -1
from t.v
view L/top/v CFIDR_NETLISTVIEW nets 12 footprints 3
  bus #0 a[1:0] 1 0
    net #1 a[1]
    net #2 a[0]
  net #3 p
  bus #4 y[3:0] 3 0
    net #5 y[3]
    net #6 y[2]
    net #7 y[1]
    net #8 y[0]
  net #9 VDD global
  net #10 1'b0
  net #11 1'b1
  port bus a[1:0] 1 0
    port a[1] dir 1 net 1
    port a[0] dir 1 net 2
  port p dir 3 net 3
  port bus y[3:0] 3 0
    port y[3] dir 2 net 5
    port y[2] dir 2 net 6
    port y[1] dir 2 net 7
    port y[0] dir 2 net 8
  footprint #0 L/sub/v
    fpport a dir 1
    fpport p dir 3
  footprint #1 L/mux4/v
    fpport bus D[3:0] 3 0
      fpport D[3] dir 1
      fpport D[2] dir 1
      fpport D[1] dir 1
      fpport D[0] dir 1
    fpport bus S[1:0] 1 0
      fpport S[1] dir 1
      fpport S[0] dir 1
    fpport Y dir 2
  footprint #2 L/inv/v
    fpport A dir 1
    fpport Y dir 2
  inst s fp 0
    pin 1
    pin 3
  inst m fp 1
    pins 2 11 2 11
    pins 9 10
    pin 5
  inst u[2] fp 2
    pin 10
    pin 6
  inst u[1] fp 2
    pin 10
    pin 7
  inst u[0] fp 2
    pin 10
    pin 8
from t.v
)");
}

// An instance array of a cell that is neither defined nor stubbed once took each port as wide
// as the whole connection, so every member got all the bits; a member's port is its share.
TEST(NyxvcEmit, InstanceArrayOfAnUndefinedCellInfersOneMembersWidth) {
    const auto r = compileText(R"(module top (input [3:0] a, input en, output [3:0] y, input [3:0] z);
  buf1 u[3:0] (.A(a), .EN(en), .Y(y[3:0]));
  pair p[1:0] (.D(z));
endmodule
)", "top");
    ASSERT_TRUE(r.ok) << r.messages;
    EXPECT_EQ(r.messages, "t.v:2: warning: cell buf1 is not defined; its ports are taken from its named connections\n"
                          "t.v:3: warning: cell pair is not defined; its ports are taken from its named connections\n");
    EXPECT_EQ(r.records, R"(view L/top/v CFIDR_NETLISTVIEW nets 16 footprints 2
  bus #0 a[3:0] 3 0
    net #1 a[3]
    net #2 a[2]
    net #3 a[1]
    net #4 a[0]
  net #5 en
  bus #6 y[3:0] 3 0
    net #7 y[3]
    net #8 y[2]
    net #9 y[1]
    net #10 y[0]
  bus #11 z[3:0] 3 0
    net #12 z[3]
    net #13 z[2]
    net #14 z[1]
    net #15 z[0]
  port bus a[3:0] 3 0
    port a[3] dir 1 net 1
    port a[2] dir 1 net 2
    port a[1] dir 1 net 3
    port a[0] dir 1 net 4
  port en dir 1 net 5
  port bus y[3:0] 3 0
    port y[3] dir 2 net 7
    port y[2] dir 2 net 8
    port y[1] dir 2 net 9
    port y[0] dir 2 net 10
  port bus z[3:0] 3 0
    port z[3] dir 1 net 12
    port z[2] dir 1 net 13
    port z[1] dir 1 net 14
    port z[0] dir 1 net 15
  footprint #0 L/buf1/v
    fpport A dir 0
    fpport EN dir 0
    fpport Y dir 0
  footprint #1 L/pair/v
    fpport bus D[1:0] 1 0
      fpport D[1] dir 0
      fpport D[0] dir 0
  inst u[3] fp 0
    pin 1
    pin 5
    pin 7
  inst u[2] fp 0
    pin 2
    pin 5
    pin 8
  inst u[1] fp 0
    pin 3
    pin 5
    pin 9
  inst u[0] fp 0
    pin 4
    pin 5
    pin 10
  inst p[1] fp 1
    pins 12 13
  inst p[0] fp 1
    pins 14 15
from t.v
)");
}
