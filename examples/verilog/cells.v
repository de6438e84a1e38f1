// Module headers of the standard cells that adder.v instantiates (a cell library's stub file).
module XOR2X1 (input A, input B, output Y); endmodule
module AND2X2 (input A, input B, output Y); endmodule
module OR2X2 (input A, input B, output Y); endmodule
