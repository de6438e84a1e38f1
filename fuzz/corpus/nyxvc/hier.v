module top (a, y, z);
  input [3:0] a; output y; output [0:1] z;
  supply1 VDD; tri t;
  sub u1 (a[3:2], y);
  sub u[1:0] (.a({2{a[1:0]}}), .y(z));
  assign z = {1'bx, 1'bz};
endmodule
module sub (input [1:0] a, output y);
  inv \i/1  (.A(a[0]), .Y(y));
endmodule
