module a (x); (* k *) b u (x); specify (x=>y)=1; endspecify endmodule
/* open
module b (); endmodule
in.v:12: error: x
in.v:: y
