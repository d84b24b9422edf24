; The Mandelbrot set in F64 over [-2, 1] x [-1.5, 1.5]: floating arithmetic, a floating
; compare and the integer-to-float conversions of the pixel coordinates. The result is the
; sum of the iteration counts of all points. Parameter block and result as in loop.asm.

        JMP     start
        .org    8
width:  .dword  200
height: .dword  200
limit:  .dword  256                     ; iterations at most per point
        .org    24
result: .dword  0
        .align  8
dx:     .f64    0                       ; the steps between points
dy:     .f64    0
cr:     .f64    0                       ; the point
ci:     .f64    0
zr:     .f64    0                       ; the iterated value
zi:     .f64    0
zr2:    .f64    0                       ; its squares
zi2:    .f64    0
t:      .f64    0

start:  CVT.U32.F64 [width], [dx]
        DIV.F64 #3.0, [dx], [dx]
        CVT.U32.F64 [height], [dy]
        DIV.F64 #3.0, [dy], [dy]
        CLR.32  r20                     ; r20: total iterations
        CLR.32  r0                      ; r0: row
.row:   CVT.U32.F64 r0, [ci]
        MUL.F64 [ci], [dy], [ci]
        ADD.F64 [ci], #-1.5, [ci]
        CLR.32  r4                      ; r4: column
.column:
        CVT.U32.F64 r4, [cr]
        MUL.F64 [cr], [dx], [cr]
        ADD.F64 [cr], #-2.0, [cr]
        CLR.64  [zr]
        CLR.64  [zi]
        CLR.32  r8                      ; r8: iterations of this point
.iterate:
        MUL.F64 [zr], [zr], [zr2]
        MUL.F64 [zi], [zi], [zi2]
        ADD.F64 [zr2], [zi2], [t]
        GT.F64  [t], #4.0, r12
        JNZ.8   .escaped, r12
        MUL.F64 [zr], [zi], [t]         ; zi = 2 zr zi + ci
        ADD.F64 [t], [t], [t]
        ADD.F64 [t], [ci], [zi]
        SUB.F64 [zr2], [zi2], [t]       ; zr = zr^2 - zi^2 + cr
        ADD.F64 [t], [cr], [zr]
        ADD.U32 r8, #1, r8
        LT.U32  r8, [limit], r12
        JNZ.8   .iterate, r12
.escaped:
        ADD.U32 r20, r8, r20
        ADD.U32 r4, #1, r4
        LT.U32  r4, [width], r12
        JNZ.8   .column, r12
        ADD.U32 r0, #1, r0
        LT.U32  r0, [height], r12
        JNZ.8   .row, r12
        MOV.32  r20, [result]
        WAIT
