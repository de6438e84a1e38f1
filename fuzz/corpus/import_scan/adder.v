// A 2-bit ripple-carry adder as gate-level (structural) Verilog: gates of a standard-cell
// library (cells.v holds their module headers) in half adders, full adders and the top.
module half_adder (input a, input b, output s, output c);
  XOR2X1 x (.A(a), .B(b), .Y(s));
  AND2X2 n (.A(a), .B(b), .Y(c));
endmodule

module full_adder (a, b, ci, s, co);
  input a, b, ci;
  output s, co;
  wire s1, c1, c2;
  half_adder h0 (.a(a), .b(b), .s(s1), .c(c1));
  half_adder h1 (.a(s1), .b(ci), .s(s), .c(c2));
  OR2X2 o (.A(c1), .B(c2), .Y(co));
endmodule

module adder2 (input [1:0] a, input [1:0] b, input ci, output [1:0] s, output co);
  wire c;
  full_adder f0 (a[0], b[0], ci, s[0], c);
  full_adder f1 (.a(a[1]), .b(b[1]), .ci(c), .s(s[1]), .co(co));
endmodule
